// Device names that stand for a network serial server instead of a local
// device: "rfc2217://host:port" (Telnet with the COM-PORT-OPTION, RFC 2217)
// and "socket://host:port" (raw TCP). Every other name is a local path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace commapi::posix {

enum class ENetProtocol { Rfc2217, Raw };

struct TNetAddress {
    ENetProtocol protocol = ENetProtocol::Raw;
    std::string host;  // a name, a dotted IPv4 address or an IPv6 address without brackets
    uint16_t port = 0;
};

// The name starts with one of the two schemes (any case): it is no local path,
// well-formed or not.
bool IsNetName(const std::string& name);

// The address of a network name; nothing when it is not one or is malformed
// (no host, a port outside 1..65535, anything after the port).
std::optional<TNetAddress> ParseNetName(const std::string& name);

}  // namespace commapi::posix
