// Modem lines, line counters and driver options of a Linux tty. A device that
// lacks one of these ioctls (a pty lacks all of them) answers "unsupported",
// which callers skip.
#pragma once

#include <cstdint>

#include "comm/CommApi.h"
#include "comm/posix/PosixLine.h"

namespace commapi::posix {

// True for the errno values of an ioctl the device does not implement.
bool Unsupported(int err);

// TIOCM_* bits, or an errno value.
int GetModemLines(int fd, int& bits);
// Raises or drops one TIOCM_* line; 0 or an errno value.
int SetModemLine(int fd, int bit, bool on);
int SetModemLines(int fd, const TModemLineRequest& request);

struct TLineCounters {
    int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
};
int ReadLineCounters(int fd, TLineCounters& counters);

// Events and error flags that a change of the counters stands for.
struct TLineChange {
    DWORD events = 0;  // EV_ERR, EV_BREAK
    DWORD errors = 0;  // CE_ flags
};
TLineChange CountersChange(const TLineCounters& before, const TLineCounters& after);
// EV_CTS, EV_DSR, EV_RLSD, EV_RING for the lines that changed.
DWORD ModemChange(int before, int after);

// Asks the driver to hand received bytes over at once (best effort).
void RequestLowLatency(int fd);
// Asks the driver to raise RTS only while it sends, or no longer (best effort:
// only RS-485 capable drivers can).
void RequestRtsOnSend(int fd, bool on);
// Bytes in the driver's output queue, 0 when unknown.
DWORD OutputQueueBytes(int fd);

}  // namespace commapi::posix
