#include "comm/posix/PosixLineIo.h"

#include <cerrno>

#include <linux/serial.h>
#include <sys/ioctl.h>

#include "comm/posix/PosixLine.h"

namespace commapi::posix {

bool Unsupported(int err) {
    constexpr int kernelNoIoctlCmd = 515;  // ENOIOCTLCMD, may leak from some drivers
    return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP || err == kernelNoIoctlCmd;
}

int GetModemLines(int fd, int& bits) { return ioctl(fd, TIOCMGET, &bits) == 0 ? 0 : errno; }

int SetModemLine(int fd, int bit, bool on) {
    const int err = ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0 ? 0 : errno;
    return Unsupported(err) ? 0 : err;
}

int SetModemLines(int fd, const TModemLineRequest& request) {
    if (request.setDtr) {
        if (const int err = SetModemLine(fd, TIOCM_DTR, request.dtrOn)) return err;
    }
    if (request.setRts) return SetModemLine(fd, TIOCM_RTS, request.rtsOn);
    return 0;
}

int ReadLineCounters(int fd, TLineCounters& counters) {
    serial_icounter_struct icount{};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return errno;
    counters = {icount.frame, icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
    return 0;
}

TLineChange CountersChange(const TLineCounters& before, const TLineCounters& after) {
    TLineChange change;
    if (after.frame != before.frame) change.errors |= CE_FRAME;
    if (after.overrun != before.overrun) change.errors |= CE_OVERRUN;
    if (after.parity != before.parity) change.errors |= CE_RXPARITY;
    if (after.bufOverrun != before.bufOverrun) change.errors |= CE_RXOVER;
    if (after.brk != before.brk) change.errors |= CE_BREAK;
    if (change.errors & (CE_FRAME | CE_OVERRUN | CE_RXPARITY)) change.events |= EV_ERR;
    if (change.errors & CE_BREAK) change.events |= EV_BREAK;
    return change;
}

DWORD ModemChange(int before, int after) {
    const int changed = before ^ after;
    DWORD events = 0;
    if (changed & TIOCM_CTS) events |= EV_CTS;
    if (changed & TIOCM_DSR) events |= EV_DSR;
    if (changed & TIOCM_CD) events |= EV_RLSD;
    if (changed & TIOCM_RI) events |= EV_RING;
    return events;
}

void RequestLowLatency(int fd) {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
    if (info.flags & int(ASYNC_LOW_LATENCY)) return;
    info.flags |= int(ASYNC_LOW_LATENCY);
    (void)ioctl(fd, TIOCSSERIAL, &info);
}

void RequestRtsOnSend(int fd, bool on) {
    serial_rs485 rs485{};
    if (ioctl(fd, TIOCGRS485, &rs485) != 0) return;
    constexpr uint32_t bits = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    constexpr uint32_t afterSend = SER_RS485_RTS_AFTER_SEND;
    rs485.flags = on ? (rs485.flags | bits) & ~afterSend : rs485.flags & ~bits;
    (void)ioctl(fd, TIOCSRS485, &rs485);
}

DWORD OutputQueueBytes(int fd) {
    int bytes = 0;
    return ioctl(fd, TIOCOUTQ, &bytes) == 0 && bytes > 0 ? DWORD(bytes) : 0;
}

}  // namespace commapi::posix
