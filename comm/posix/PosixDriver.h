// What a device of the Linux provider moves its bytes through: a tty
// (PosixTtyDriver), or a connection to a network serial server (NetDriver).
// The device above keeps the input queue, the events and the overlapped
// transfers; a driver only reads, writes, applies settings and reports what
// its line tells. Every call comes under the device's lock and never blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "comm/CommApi.h"
#include "comm/posix/PosixLineIo.h"

namespace commapi::posix {

class TDeviceDriver {
public:
    struct TReadResult {
        size_t bytes = 0;     // data bytes placed in the buffer
        bool drained = false; // nothing more is waiting: asking again now would find nothing
        TLineChange change;   // line errors and events the read came with
    };

    virtual ~TDeviceDriver() = default;

    // The descriptor a waiter polls.
    virtual int Fd() const = 0;
    // A serial line (the comm calls work on it), not some other file.
    virtual bool Serial() const { return true; }

    // The DCB of a device just opened: the line's settings as found.
    virtual void InitialState(DCB& dcb) { (void)dcb; }
    // Refreshes the fields the line determines; a system error code.
    virtual DWORD ReadState(DCB& dcb) = 0;
    // Applies the settings; a system error code, the line unchanged on failure.
    virtual DWORD WriteState(const DCB& dcb) = 0;
    // The events a waiter is interested in from now on.
    virtual void EventsSelected(DWORD mask) { (void)mask; }

    // Data bytes into `buffer` (at most `size`); fewer than asked with
    // `drained` false means more may be waiting.
    virtual TReadResult Read(uint8_t* buffer, size_t size) = 0;
    // Hands bytes to the line; how many it took (fewer: no room now). A
    // failure that is not a hang-up is left in `error`.
    virtual size_t Write(const uint8_t* data, size_t size, DWORD& error) = 0;
    // Sends what the driver itself still holds (protocol messages); no-op by default.
    virtual void Flush() {}
    // What to poll for, given what the transfers need (`events`): a driver
    // that holds output of its own adds POLLOUT, one told to hold back drops it.
    virtual short PollEvents(short events) const { return events; }
    // Drops what waits in the line's buffers of either direction.
    virtual void Purge(bool output, bool input) = 0;
    // Bytes written but not yet on their way, 0 when unknown.
    virtual DWORD OutputQueueBytes() const = 0;
    // Events that must be looked for (modem lines), and how often; -1 for never.
    virtual TLineChange Watch(DWORD mask) {
        (void)mask;
        return {};
    }
    virtual int WatchIntervalMs(DWORD mask) const {
        (void)mask;
        return -1;
    }
    // Set once the line hung up or went away: the code every transfer then
    // fails with; ERROR_SUCCESS while it is there.
    virtual DWORD Gone() const = 0;
    // The handle was closed: let others have the line at once.
    virtual void Released() {}
};

}  // namespace commapi::posix
