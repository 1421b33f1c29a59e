#include "comm/posix/PosixErrors.h"

#include <cerrno>

namespace commapi::posix {

DWORD Win32Error(int err) {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EIO: return ERROR_GEN_FAILURE;
    case ENXIO:
    case ENODEV: return ERROR_DEV_NOT_EXIST;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOTTY: return ERROR_INVALID_FUNCTION;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    case ECANCELED:
    case EINTR: return ERROR_OPERATION_ABORTED;
    case ECONNREFUSED: return ERROR_CONNECTION_REFUSED;
    case ENETUNREACH:
    case ENETDOWN: return ERROR_NETWORK_UNREACHABLE;
    case EHOSTUNREACH:
    case EHOSTDOWN: return ERROR_HOST_UNREACHABLE;
    case ETIMEDOUT: return ERROR_SEM_TIMEOUT;
    case ECONNRESET:
    case ECONNABORTED: return ERROR_CONNECTION_ABORTED;
    default: return ERROR_GEN_FAILURE;
    }
}

BOOL FailWithErrno(int err) { return Fail(Win32Error(err)); }

BOOL Fail(DWORD code) {
    TCommApi::SetLastError(code);
    return 0;
}

}  // namespace commapi::posix
