// One opened file of the Linux provider; for a serial line (a tty, or a
// connection to a network serial server), the device with its user-space
// input queue, its event history and its overlapped transfers. What moves
// the bytes is its driver (PosixDriver.h).
//
// There is no thread behind a device. Its data moves whenever a thread looks:
// a wait on the event of one of its transfers polls its file descriptor and
// pumps it, and so do ReadFile, ClearCommError and WaitCommEvent. Everything
// runs under the device's lock, file descriptor I/O included (it never blocks).
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include <poll.h>

#include "comm/posix/PosixDriver.h"
#include "comm/posix/PosixHandles.h"
#include "comm/posix/PosixInputQueue.h"

namespace commapi::posix {

class TPosixEvent;

class TPosixDevice final : public TKernelObject, public std::enable_shared_from_this<TPosixDevice> {
public:
    static constexpr TObjectKind KindOf = TObjectKind::Device;
    TObjectKind Kind() const override { return KindOf; }
    using Clock = std::chrono::steady_clock;

    // Opens the local file `path` for the Win32 access bits; null with the
    // last error set on failure.
    static std::shared_ptr<TPosixDevice> Open(const std::string& path, DWORD desiredAccess);
    TPosixDevice(std::unique_ptr<TDeviceDriver> driver, DWORD fileType);

    DWORD FileType() const { return FFileType; }
    void Released() override;

    BOOL GetCommState(DCB& dcb);
    BOOL SetCommState(const DCB& dcb);
    BOOL SetCommTimeouts(const COMMTIMEOUTS& timeouts);
    BOOL SetupComm(DWORD inQueue, DWORD outQueue);
    BOOL SetCommMask(DWORD mask);
    BOOL WaitCommEvent(DWORD* mask, OVERLAPPED& ov, const std::shared_ptr<TPosixEvent>& event);
    BOOL ClearCommError(DWORD* errors, COMSTAT* stat);
    BOOL PurgeComm(DWORD flags);
    BOOL ReadFile(void* buffer, DWORD count, DWORD* read, OVERLAPPED& ov,
                  const std::shared_ptr<TPosixEvent>& event);
    BOOL WriteFile(const void* buffer, DWORD count, DWORD* written, OVERLAPPED& ov,
                   const std::shared_ptr<TPosixEvent>& event);
    // The outcome of a transfer of this device; ERROR_IO_INCOMPLETE while it runs.
    BOOL OverlappedResult(const OVERLAPPED& ov, DWORD* transferred);
    BOOL Cancel(OVERLAPPED* ov);

    // For a waiter: what to poll (false: nothing, the device is closed or gone),
    // and `timeout` lowered to the device's next deadline.
    bool PollRequest(pollfd& pfd, int& timeout);
    // Moves data after a poll (`revents` of the device's entry, 0 if not polled).
    void Pump(short revents);

private:
    // One overlapped operation in progress.
    struct TTransfer {
        bool active = false;
        OVERLAPPED* ov = nullptr;
        std::shared_ptr<TPosixEvent> event;
        uint8_t* data = nullptr;  // read: destination; write: source (const)
        DWORD size = 0, done = 0;
        DWORD* mask = nullptr;  // wait: where the events go
        bool hasDeadline = false, anyByte = false;
        Clock::time_point deadline;
    };

    BOOL Usable() const;
    void Start(TTransfer& t, OVERLAPPED& ov, const std::shared_ptr<TPosixEvent>& event);
    void Complete(TTransfer& t, DWORD status);
    void KickWaiters();
    void PumpLocked(short revents);
    bool ReadInput();
    void Received(const uint8_t* data, size_t size, const TLineChange& change);
    void FeedRead();
    void WriteOutput();
    void CheckDeadlines(Clock::time_point now);
    void Record(DWORD events);
    void NoteLineChange(const TLineChange& change);
    bool CheckGone();
    void HangUp(DWORD code);
    void SetReadDeadline(TTransfer& t, DWORD count);
    void SetWriteDeadline(TTransfer& t, DWORD count);
    bool ImmediateReads() const;

    std::mutex FMutex;
    const std::unique_ptr<TDeviceDriver> FDriver;
    const DWORD FFileType;
    const bool FSerial;
    bool FClosed = false;
    DWORD FHangUp = ERROR_SUCCESS;  // the error every transfer fails with once the line is gone

    DCB FDcb{};
    COMMTIMEOUTS FTimeouts{};
    bool FStripNull = false;
    DWORD FMask = 0, FHistory = 0, FErrors = 0;
    TInputQueue FInput;

    TTransfer FWait, FRead, FWrite;
};

}  // namespace commapi::posix
