#include "sim/PlantSources.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

namespace sim {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// One line's plant, or the reason it is bad.
std::optional<TNamedPlant> ParseLine(const std::string& line, std::string& reason) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
        reason = "not NAME: KEY=VALUE,...";
        return std::nullopt;
    }
    TNamedPlant named{Trimmed(line.substr(0, colon)), {}};
    if (named.Name.empty()) {
        reason = "no name before ':'";
        return std::nullopt;
    }
    const std::optional<TPlant> plant = ParsePlant(line.substr(colon + 1), &reason);
    if (!plant) return std::nullopt;
    named.Plant = *plant;
    return named;
}

}  // namespace

std::optional<std::vector<TNamedPlant>> LoadPlants(const std::string& path, std::string* error) {
    std::ifstream file(path);
    if (!file) {
        if (error) *error = path + ": cannot be read";
        return std::nullopt;
    }
    std::vector<TNamedPlant> plants;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string text = Trimmed(line);
        if (text.empty() || text[0] == '#') continue;
        std::string reason;
        std::optional<TNamedPlant> named = ParseLine(text, reason);
        if (!named) {
            if (error) *error = path + ":" + std::to_string(number) + ": " + reason;
            return std::nullopt;
        }
        plants.push_back(std::move(*named));
    }
    return plants;
}

TPlant PlantFromEnvironment(std::ostream& warnings) {
    const char* text = std::getenv(PlantVariable);
    if (!text) return {};
    std::string reason;
    if (std::optional<TPlant> plant = ParsePlant(text, &reason)) return *plant;
    warnings << PlantVariable << " ignored: " << reason << '\n';
    return {};
}

TPlant PlantFromEnvironment() { return PlantFromEnvironment(std::cerr); }

}  // namespace sim
