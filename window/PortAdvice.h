// What a person can do about a port that would not open: one line to show
// under the port component's own message, naming the device path (or the
// server's address), the likely cause and the remedy. Main thread or any
// other; no widgets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <QString>

namespace portadvice {

enum class ENodeKind { Missing, CharDevice, Other };

// What the system says about the node behind a device path.
struct TNodeProbe {
    std::function<ENodeKind(const std::string& path)> Kind;
    // The current user may open the node for reading and writing.
    std::function<bool(const std::string& path)> MayReadWrite;
};

// The probe that asks this system (PortAdvicePosix.cpp).
TNodeProbe SystemProbe();

// The path the port component opens for a name in the port box; a network
// address stays as it is.
std::string DevicePath(const std::string& deviceName);
// The name stands for a network serial server ("rfc2217://host:port",
// "socket://host:port"), not for a local device.
bool IsNetworkName(const std::string& deviceName);
// A well-formed "socket://host:port": raw TCP, no Telnet.
bool IsRawNetworkName(const std::string& deviceName);

}  // namespace portadvice

// The advice for the error code of a failed open (ECommError::ErrorCode);
// empty when there is nothing a person can do about it. The caller puts it
// on a line of its own under the component's message.
QString PortAdvice(const std::string& deviceName, int32_t errorCode);
QString PortAdvice(const std::string& deviceName, int32_t errorCode,
                   const portadvice::TNodeProbe& probe);
