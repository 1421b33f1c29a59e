// What the rest of the program may know of the provider's device names: the
// system path a port name opens, and whether it names a network server.
#pragma once

#include <string>

namespace commdevices {

// "COM3" -> "/dev/ttyS2"; any other name unchanged.
std::string DevicePath(const std::string& deviceName);
// rfc2217://host:port or socket://host:port.
bool IsNetworkName(const std::string& deviceName);
// socket://host:port: raw TCP, no Telnet.
bool IsRawNetworkName(const std::string& deviceName);

}  // namespace commdevices
