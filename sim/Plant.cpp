#include "sim/Plant.h"

#include <charconv>
#include <string_view>

namespace sim {

namespace {

// A key sets either a real or a whole field.
struct TKey {
    std::string_view Name;
    double TPlant::*Real;
    uint32_t TPlant::*Whole;
    double Min;
    double Max;
    bool ZeroToo;  // 0 switches the feature off, below Min
};

constexpr TKey Keys[] = {
    {"inertia", &TPlant::Inertia, nullptr, 0.1, 20, false},
    {"friction", &TPlant::Friction, nullptr, 0, 100, false},
    {"viscous", &TPlant::Viscous, nullptr, 0, 50, false},
    {"delay", nullptr, &TPlant::DelayMs, 0, TPlant::MaxDelayMs, false},
    {"noise", &TPlant::Noise, nullptr, 0, 20, false},
    {"seed", nullptr, &TPlant::Seed, 0, 4294967295.0, false},
    {"resonance", &TPlant::Resonance, nullptr, 5, 200, true},
    {"damping", &TPlant::Damping, nullptr, 0.001, 1, false},
    {"kp-scale", &TPlant::KpScale, nullptr, 0.05, 20, false},
    {"ki-scale", &TPlant::KiScale, nullptr, 0.05, 20, false},
};

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Number(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string Range(const TKey& key) {
    return (key.ZeroToo ? "0 or " : "") + Number(key.Min) + ".." + Number(key.Max);
}

const TKey* FindKey(std::string_view name) {
    for (const TKey& key : Keys)
        if (key.Name == name) return &key;
    return nullptr;
}

std::string KeyList() {
    std::string list;
    for (const TKey& key : Keys) list += (list.empty() ? "" : ", ") + std::string(key.Name);
    return list;
}

template <typename TValue>
bool ParseNumber(std::string_view text, TValue& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// Sets the key's field from the value; the reason when it is bad.
std::string SetValue(const TKey& key, std::string_view text, TPlant& plant) {
    const std::string name(key.Name);
    double value = 0;
    uint32_t whole = 0;
    const bool parsed = key.Whole ? ParseNumber(text, whole) : ParseNumber(text, value);
    if (!parsed) {
        return name + ": \"" + std::string(text) + "\" is not a " + (key.Whole ? "whole " : "") +
               "number in " + Range(key);
    }
    if (key.Whole) value = double(whole);
    // Written so that NaN is out of range too.
    const bool inRange = (value >= key.Min && value <= key.Max) || (key.ZeroToo && value == 0);
    if (!inRange) return name + ": " + std::string(text) + " is out of range " + Range(key);
    if (key.Whole)
        plant.*key.Whole = whole;
    else
        plant.*key.Real = value;
    return {};
}

std::string SetItem(std::string_view item, TPlant& plant) {
    const size_t equals = item.find('=');
    if (equals == std::string_view::npos)
        return "\"" + std::string(item) + "\" is not KEY=VALUE (keys: " + KeyList() + ")";
    const std::string_view name = Trim(item.substr(0, equals));
    const TKey* key = FindKey(name);
    if (!key) return "unknown key \"" + std::string(name) + "\" (keys: " + KeyList() + ")";
    return SetValue(*key, Trim(item.substr(equals + 1)), plant);
}

}  // namespace

std::optional<TPlant> ParsePlant(const std::string& text, std::string* error) {
    TPlant plant;
    std::string_view rest = text;
    while (!Trim(rest).empty()) {
        const size_t comma = rest.find(',');
        const std::string reason = SetItem(Trim(rest.substr(0, comma)), plant);
        if (!reason.empty()) {
            if (error) *error = reason;
            return std::nullopt;
        }
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return plant;
}

std::string PlantText(const TPlant& plant) {
    const TPlant standard;
    std::string text;
    for (const TKey& key : Keys) {
        const double value = key.Whole ? double(plant.*key.Whole) : plant.*key.Real;
        const double usual = key.Whole ? double(standard.*key.Whole) : standard.*key.Real;
        if (value == usual) continue;
        text += (text.empty() ? "" : ",") + std::string(key.Name) + "=" + Number(value);
    }
    return text;
}

}  // namespace sim
