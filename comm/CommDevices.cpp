#include "comm/CommDevices.h"

#include "comm/posix/NetAddress.h"
#include "comm/posix/PosixCommApi.h"

namespace commdevices {

std::string DevicePath(const std::string& deviceName) {
    return commapi::TPosixCommApi::DevicePath(deviceName);
}

bool IsNetworkName(const std::string& deviceName) { return commapi::posix::IsNetName(deviceName); }

bool IsRawNetworkName(const std::string& deviceName) {
    const auto address = commapi::posix::ParseNetName(deviceName);
    return address && address->protocol == commapi::posix::ENetProtocol::Raw;
}

}  // namespace commdevices
