#include "sim/TtyLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

bool Fail(std::string* error, const std::string& step) {
    if (error) *error = step + ": " + std::strerror(errno);
    return false;
}

// 8 data bits, no parity, one stop bit, no echo, no line editing, no
// translation of any byte: the protocol is binary.
uint8_t DataBitsOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

char ParityOf(tcflag_t cflag) {
    if (!(cflag & PARENB)) return 'N';
    if (cflag & CMSPAR) return (cflag & PARODD) ? 'M' : 'S';
    return (cflag & PARODD) ? 'O' : 'E';
}

bool MakeRaw(int fd, speed_t speed) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | HUPCL);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (speed != 0 && (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0))
        return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

bool OpenPtyPair(TLineFds& fds, std::string* error) {
    fds = TLineFds{};
    fds.Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fds.Master < 0) return Fail(error, "posix_openpt");
    char name[128];
    if (grantpt(fds.Master) != 0 || unlockpt(fds.Master) != 0 ||
        ptsname_r(fds.Master, name, sizeof name) != 0) {
        Fail(error, "pty setup");
        CloseLine(fds);
        return false;
    }
    fds.Path = name;
    fds.Slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fds.Slave < 0 || !MakeRaw(fds.Slave, 0) ||
        fcntl(fds.Master, F_SETFL, fcntl(fds.Master, F_GETFL) | O_NONBLOCK) != 0) {
        Fail(error, "pty slave " + fds.Path);
        CloseLine(fds);
        return false;
    }
    return true;
}

bool OpenTty(const std::string& path, TLineFds& fds, std::string* error) {
    fds = TLineFds{};
    fds.Master = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fds.Master < 0) return Fail(error, "open " + path);
    if (!MakeRaw(fds.Master, B38400)) {
        Fail(error, "raw mode on " + path);
        CloseLine(fds);
        return false;
    }
    fds.Path = path;
    return true;
}

std::optional<TCharFrame> TtyCharFrame(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return std::nullopt;
    return TCharFrame{DataBitsOf(tio.c_cflag), ParityOf(tio.c_cflag),
                      uint8_t((tio.c_cflag & CSTOPB) ? 2 : 1)};
}

void CloseLine(TLineFds& fds) {
    if (fds.Slave >= 0) close(fds.Slave);
    if (fds.Master >= 0) close(fds.Master);
    fds.Slave = fds.Master = -1;
}

}  // namespace sim
