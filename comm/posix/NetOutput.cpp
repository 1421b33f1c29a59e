#include "comm/posix/NetOutput.h"

#include <cerrno>

#include <sys/socket.h>

namespace commapi::posix {

long SendSome(int fd, const uint8_t* data, size_t size) {
    for (;;) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        return long(n);
    }
}

TNetOutput::EResult TNetOutput::Flush(int fd, int& err) {
    while (!Empty()) {
        const long n = SendSome(fd, FBytes.data() + FSent, Size());
        if (n > 0) {
            FSent += size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            err = errno;
            return EResult::Failed;
        }
        return EResult::NoRoom;
    }
    FBytes.clear();
    FSent = 0;
    return EResult::Done;
}

}  // namespace commapi::posix
