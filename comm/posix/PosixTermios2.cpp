// The termios2 ioctls, alone in this file: the kernel's termbits header
// cannot be included together with the C library's termios.h.
#include <cerrno>
#include <cstring>

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "comm/posix/PosixLine.h"

namespace commapi::posix {

static_assert(TLineSettings::ControlChars == NCCS, "termios2 control characters");

int ReadLineSettings(int fd, TLineSettings& line) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    line.iflag = t.c_iflag;
    line.oflag = t.c_oflag;
    line.cflag = t.c_cflag & ~tcflag_t(CBAUD | (CBAUD << IBSHIFT));
    line.lflag = t.c_lflag;
    line.line = t.c_line;
    std::memcpy(line.cc, t.c_cc, sizeof line.cc);
    line.ispeed = t.c_ispeed;
    line.ospeed = t.c_ospeed;
    return 0;
}

int WriteLineSettings(int fd, const TLineSettings& line) {
    termios2 t{};
    t.c_iflag = line.iflag;
    t.c_oflag = line.oflag;
    t.c_cflag = (line.cflag & ~tcflag_t(CBAUD | (CBAUD << IBSHIFT))) | BOTHER | (BOTHER << IBSHIFT);
    t.c_lflag = line.lflag;
    t.c_line = line.line;
    std::memcpy(t.c_cc, line.cc, sizeof line.cc);
    t.c_ispeed = line.ispeed;
    t.c_ospeed = line.ospeed;
    return ioctl(fd, TCSETS2, &t) == 0 ? 0 : errno;
}

}  // namespace commapi::posix
