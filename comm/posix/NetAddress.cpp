#include "comm/posix/NetAddress.h"

#include <cctype>

namespace commapi::posix {

namespace {

struct TScheme {
    const char* prefix;
    ENetProtocol protocol;
};
constexpr TScheme Schemes[] = {{"rfc2217://", ENetProtocol::Rfc2217}, {"socket://", ENetProtocol::Raw}};

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

const TScheme* SchemeOf(const std::string& name) {
    for (const TScheme& scheme : Schemes)
        if (StartsWithNoCase(name, scheme.prefix)) return &scheme;
    return nullptr;
}

bool HostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

bool Ipv6Char(char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; }

template <class Pred>
bool All(const std::string& text, Pred pred) {
    for (char c : text)
        if (!pred(c)) return false;
    return !text.empty();
}

std::optional<uint16_t> PortOf(const std::string& text) {
    if (text.empty() || text.size() > 5 || !All(text, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const unsigned long port = std::stoul(text);
    if (port == 0 || port > 65535) return std::nullopt;
    return uint16_t(port);
}

}  // namespace

bool IsNetName(const std::string& name) { return SchemeOf(name) != nullptr; }

std::optional<TNetAddress> ParseNetName(const std::string& name) {
    const TScheme* scheme = SchemeOf(name);
    if (!scheme) return std::nullopt;
    const std::string rest = name.substr(std::string(scheme->prefix).size());
    TNetAddress address;
    address.protocol = scheme->protocol;
    std::string port;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string::npos || rest.compare(close + 1, 1, ":") != 0) return std::nullopt;
        address.host = rest.substr(1, close - 1);
        if (!All(address.host, Ipv6Char)) return std::nullopt;
        port = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string::npos) return std::nullopt;
        address.host = rest.substr(0, colon);
        if (!All(address.host, HostChar)) return std::nullopt;
        port = rest.substr(colon + 1);
    }
    const std::optional<uint16_t> number = PortOf(port);
    if (!number) return std::nullopt;
    address.port = *number;
    return address;
}

}  // namespace commapi::posix
