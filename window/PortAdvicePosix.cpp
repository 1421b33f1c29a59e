// The Linux side of the port advice: the provider's device names (network
// addresses among them) and what the file system says about a node.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "comm/CommDevices.h"
#include "window/PortAdvice.h"

namespace portadvice {

namespace {

ENodeKind KindOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return ENodeKind::Missing;
    return S_ISCHR(st.st_mode) ? ENodeKind::CharDevice : ENodeKind::Other;
}

// Effective ids, as open(2) checks them.
bool UserMayReadWrite(const std::string& path) {
    return faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
}

}  // namespace

TNodeProbe SystemProbe() { return {KindOf, UserMayReadWrite}; }

std::string DevicePath(const std::string& deviceName) { return commdevices::DevicePath(deviceName); }

bool IsNetworkName(const std::string& deviceName) { return commdevices::IsNetworkName(deviceName); }

bool IsRawNetworkName(const std::string& deviceName) { return commdevices::IsRawNetworkName(deviceName); }

}  // namespace portadvice
