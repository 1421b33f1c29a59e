// An event object of the Linux provider: Win32 semantics (manual or automatic
// reset) over a flag, with an eventfd to wake the threads that sleep in poll.
// The eventfd is written only while a thread sleeps on it, and read only when
// it was written: setting and resetting an event nobody waits for costs no
// system call. A wait on an event that a device transfer is to signal also
// watches that device, and moves its data while it waits: the provider has no
// thread of its own.
#pragma once

#include <memory>
#include <mutex>

#include "comm/posix/PosixHandles.h"

namespace commapi::posix {

class TPosixDevice;

class TPosixEvent final : public TKernelObject {
public:
    static constexpr TObjectKind KindOf = TObjectKind::Event;
    TObjectKind Kind() const override { return KindOf; }
    // Null, with the thread's last error set, when no eventfd can be had.
    static std::shared_ptr<TPosixEvent> Create(bool manualReset, bool initialState);
    TPosixEvent(int fd, bool manualReset, bool initialState);
    ~TPosixEvent() override;

    void Set();
    void Reset();
    // Wakes a waiter without signalling, so it looks at its device again.
    void Kick();
    // The device whose pending transfer will signal this event.
    void DriveBy(const std::shared_ptr<TPosixDevice>& device);
    DWORD Wait(DWORD milliseconds);
    void Released() override;

private:
    bool TryTakeLocked();
    void WakeLocked();
    void DrainLocked();

    std::mutex FMutex;
    const int FFd;
    const bool FManualReset;
    bool FSignaled;
    bool FClosed = false;
    int FSleepers = 0;       // threads in poll on the eventfd, or about to be
    bool FFdWritten = false; // the eventfd holds a wake-up not yet read
    std::weak_ptr<TPosixDevice> FDriver;
};

}  // namespace commapi::posix
