// errno values of the Linux provider as Win32 error codes, so that messages
// read the same on every system.
#pragma once

#include "comm/CommApi.h"

namespace commapi::posix {

DWORD Win32Error(int err);

// Sets the calling thread's last error from `err` and returns 0 (a failed BOOL).
BOOL FailWithErrno(int err);
BOOL Fail(DWORD code);

}  // namespace commapi::posix
