#include "comm/posix/PosixTtyDriver.h"

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "comm/posix/PosixErrors.h"
#include "comm/posix/PosixLine.h"

namespace commapi::posix {

namespace {

constexpr int ModemPollMs = 50;
constexpr DWORD ModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;

DWORD FileTypeOf(const struct stat& st) {
    if (S_ISCHR(st.st_mode)) return FILE_TYPE_CHAR;
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) || S_ISBLK(st.st_mode)) return FILE_TYPE_DISK;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
    return FILE_TYPE_UNKNOWN;
}

int OpenFlags(DWORD desiredAccess) {
    const bool read = desiredAccess & GENERIC_READ, write = desiredAccess & GENERIC_WRITE;
    const int mode = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    return mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
}

// Takes the line for this process alone and puts it in raw mode; 0 or an errno.
int TakeLine(int fd, TLineSettings& line) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno;
    (void)ioctl(fd, TIOCEXCL);  // best effort: also keeps out openers that do not lock
    MakeRaw(line);
    if (const int err = WriteLineSettings(fd, line)) return err;
    RequestLowLatency(fd);
    return 0;
}

bool IsHangUp(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE; }

// The device's own word on a hang-up. A read of 0 bytes alone is none: with
// VMIN=0, set by another program, it only means that nothing is there.
bool SignalsHangUp(int fd) {
    pollfd pfd{fd, POLLIN, 0};
    int ready;
    do ready = poll(&pfd, 1, 0);
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
}

}  // namespace

std::unique_ptr<TTtyDriver> TTtyDriver::Open(const std::string& path, DWORD desiredAccess) {
    const int fd = open(path.c_str(), OpenFlags(desiredAccess));
    if (fd < 0) return FailWithErrno(errno), nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int err = errno;
        close(fd);
        return FailWithErrno(err), nullptr;
    }
    const DWORD type = FileTypeOf(st);
    TLineSettings line;
    const bool tty = type == FILE_TYPE_CHAR && ReadLineSettings(fd, line) == 0;
    if (tty) {
        if (const int err = TakeLine(fd, line)) {
            close(fd);
            return FailWithErrno(err), nullptr;
        }
    }
    auto driver = std::make_unique<TTtyDriver>(fd, type, tty);
    if (tty) {
        driver->FHasModemLines = GetModemLines(fd, driver->FModemLines) == 0;
        driver->FHasCounters = ReadLineCounters(fd, driver->FCounters) == 0;
    }
    return driver;
}

TTtyDriver::TTtyDriver(int fd, DWORD fileType, bool tty) : FFd(fd), FFileType(fileType), FTty(tty) {}

TTtyDriver::~TTtyDriver() { close(FFd); }

void TTtyDriver::Released() {
    if (!FTty) return;
    (void)ioctl(FFd, TIOCNXCL);
    (void)flock(FFd, LOCK_UN);  // a new open may take the line at once
}

// ------------------------------------------------------------------ settings

void TTtyDriver::InitialState(DCB& dcb) {
    TLineSettings line;
    if (ReadLineSettings(FFd, line) != 0) return;
    const int lines = FHasModemLines ? FModemLines : (TIOCM_DTR | TIOCM_RTS);
    SetDtrControl(dcb, lines & TIOCM_DTR ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE);
    SetRtsControl(dcb, lines & TIOCM_RTS ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE);
    DcbFromLine(line, dcb);
}

DWORD TTtyDriver::ReadState(DCB& dcb) {
    TLineSettings line;
    if (const int err = ReadLineSettings(FFd, line)) return Win32Error(err);
    DcbFromLine(line, dcb);
    return ERROR_SUCCESS;
}

DWORD TTtyDriver::WriteState(const DCB& dcb) {
    TLineSettings line;
    if (const int err = ReadLineSettings(FFd, line)) return Win32Error(err);
    if (const DWORD err = LineFromDcb(dcb, line)) return err;
    if (const int err = WriteLineSettings(FFd, line)) return Win32Error(err);
    if (const int err = SetModemLines(FFd, DcbModemLines(dcb))) return Win32Error(err);
    // Asked for on a change only: an RS-485 mode the system set up is left alone.
    const bool rtsOnSend = RtsRaisedWhileSending(dcb);
    if (rtsOnSend != FRtsOnSend) RequestRtsOnSend(FFd, rtsOnSend);
    FRtsOnSend = rtsOnSend;
    return ERROR_SUCCESS;
}

// ------------------------------------------------------------------ bytes

// A read that returns less than it asked for has emptied the driver: asking
// again would find nothing, and bytes that arrive later wake the next poll.
TDeviceDriver::TReadResult TTtyDriver::Read(uint8_t* buffer, size_t size) {
    TReadResult result;
    for (;;) {
        const ssize_t n = read(FFd, buffer, size);
        if (n > 0) {
            result.bytes = size_t(n);
            result.drained = size_t(n) < size;
            if (FHasCounters) result.change = CheckLineCounters();
            return result;
        }
        if (n < 0 && errno == EINTR) continue;
        result.drained = true;
        if (n < 0 && errno == EAGAIN) return result;
        if (n < 0) FGone = Win32Error(errno);
        else if (SignalsHangUp(FFd)) FGone = ERROR_GEN_FAILURE;
        return result;
    }
}

size_t TTtyDriver::Write(const uint8_t* data, size_t size, DWORD& error) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(FFd, data + done, size - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno == EAGAIN) break;
        if (IsHangUp(errno)) FGone = Win32Error(errno);
        else error = Win32Error(errno);
        break;
    }
    return done;
}

void TTtyDriver::Purge(bool output, bool input) {
    if (output) (void)tcflush(FFd, TCOFLUSH);
    if (input) (void)tcflush(FFd, TCIFLUSH);
}

DWORD TTtyDriver::OutputQueueBytes() const { return posix::OutputQueueBytes(FFd); }

// ------------------------------------------------------------------ line events

TLineChange TTtyDriver::CheckLineCounters() {
    TLineCounters now;
    if (ReadLineCounters(FFd, now) != 0) return {};
    const TLineChange change = CountersChange(FCounters, now);
    FCounters = now;
    return change;
}

TLineChange TTtyDriver::Watch(DWORD mask) {
    if (!FHasModemLines || !(mask & ModemEvents)) return {};
    int lines = 0;
    if (GetModemLines(FFd, lines) != 0) return {};
    TLineChange change;
    change.events = ModemChange(FModemLines, lines);
    FModemLines = lines;
    return change;
}

int TTtyDriver::WatchIntervalMs(DWORD mask) const {
    return FHasModemLines && (mask & ModemEvents) ? ModemPollMs : -1;
}

}  // namespace commapi::posix
