#include "comm/posix/PosixDevice.h"

#include <cstring>

#include "comm/posix/PosixErrors.h"
#include "comm/posix/PosixEvent.h"
#include "comm/posix/PosixTtyDriver.h"

namespace commapi::posix {

namespace {

constexpr size_t DefaultInputQueue = 4096;
constexpr DWORD MaxQueue = 16u << 20;

}  // namespace

std::shared_ptr<TPosixDevice> TPosixDevice::Open(const std::string& path, DWORD desiredAccess) {
    auto driver = TTtyDriver::Open(path, desiredAccess);
    if (!driver) return nullptr;
    const DWORD type = driver->FileType();
    return std::make_shared<TPosixDevice>(std::move(driver), type);
}

TPosixDevice::TPosixDevice(std::unique_ptr<TDeviceDriver> driver, DWORD fileType)
    : FDriver(std::move(driver)), FFileType(fileType), FSerial(FDriver->Serial()), FInput(DefaultInputQueue) {
    FDcb.DCBlength = sizeof(DCB);
    FDcb.Flags = DCB_fBinary;
    FDcb.XonLim = 2048;
    FDcb.XoffLim = 512;
    FDcb.ByteSize = 8;
    if (FSerial) FDriver->InitialState(FDcb);
}

void TPosixDevice::Released() {
    std::lock_guard lock(FMutex);
    FClosed = true;
    for (TTransfer* t : {&FWait, &FRead, &FWrite})
        if (t->active) Complete(*t, ERROR_OPERATION_ABORTED);
    if (FSerial) FDriver->Released();
}

BOOL TPosixDevice::Usable() const {
    if (FClosed) return Fail(ERROR_INVALID_HANDLE);
    if (!FSerial) return Fail(ERROR_INVALID_FUNCTION);
    return 1;
}

// ------------------------------------------------------------------ settings

BOOL TPosixDevice::GetCommState(DCB& dcb) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    if (const DWORD err = FDriver->ReadState(FDcb)) return Fail(err);
    dcb = FDcb;
    return 1;
}

BOOL TPosixDevice::SetCommState(const DCB& dcb) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    if (const DWORD err = FDriver->WriteState(dcb)) return Fail(err);
    CheckGone();
    FDcb = dcb;
    FDcb.DCBlength = sizeof(DCB);
    FStripNull = dcb.Flags & DCB_fNull;
    return 1;
}

BOOL TPosixDevice::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    FTimeouts = timeouts;
    return 1;
}

BOOL TPosixDevice::SetupComm(DWORD inQueue, DWORD outQueue) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    if (inQueue == 0 || inQueue > MaxQueue || outQueue > MaxQueue) return Fail(ERROR_INVALID_PARAMETER);
    const bool wasFull = FInput.Room() == 0;
    FInput.Resize(inQueue);
    if (wasFull && FInput.Room() > 0) KickWaiters();
    return 1;
}

BOOL TPosixDevice::SetCommMask(DWORD mask) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    FMask = mask & EV_ALL;
    FHistory = 0;
    FDriver->EventsSelected(FMask);
    CheckGone();
    if (FWait.active) {
        *FWait.mask = 0;
        Complete(FWait, ERROR_SUCCESS);
    }
    return 1;
}

// ------------------------------------------------------------------ transfers

void TPosixDevice::Start(TTransfer& t, OVERLAPPED& ov, const std::shared_ptr<TPosixEvent>& event) {
    t = TTransfer{};
    t.active = true;
    t.ov = &ov;
    t.event = event;
    ov.Internal = ERROR_IO_PENDING;
    ov.InternalHigh = 0;
    event->Reset();
    event->DriveBy(shared_from_this());
}

void TPosixDevice::Complete(TTransfer& t, DWORD status) {
    t.ov->Internal = status;
    t.ov->InternalHigh = t.done;
    const std::shared_ptr<TPosixEvent> event = std::move(t.event);
    t = TTransfer{};
    event->Set();
}

void TPosixDevice::KickWaiters() {
    for (TTransfer* t : {&FWait, &FRead, &FWrite})
        if (t->active) t->event->Kick();
}

BOOL TPosixDevice::WaitCommEvent(DWORD* mask, OVERLAPPED& ov, const std::shared_ptr<TPosixEvent>& event) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    if (FWait.active || FMask == 0) return Fail(ERROR_INVALID_PARAMETER);
    // No pump here: whatever the driver holds wakes the wait's first poll at
    // once, and a read now would mostly find nothing.
    Start(FWait, ov, event);
    FWait.mask = mask;
    if (FHistory) {
        *mask = FHistory;
        FHistory = 0;
        Complete(FWait, ERROR_SUCCESS);
        return 1;
    }
    if (FHangUp) {
        Complete(FWait, FHangUp);
        return Fail(FHangUp);
    }
    return Fail(ERROR_IO_PENDING);
}

BOOL TPosixDevice::ReadFile(void* buffer, DWORD count, DWORD* read, OVERLAPPED& ov,
                            const std::shared_ptr<TPosixEvent>& event) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    if (FRead.active) return Fail(ERROR_BUSY);
    Start(FRead, ov, event);
    FRead.data = static_cast<uint8_t*>(buffer);
    FRead.size = count;
    SetReadDeadline(FRead, count);
    // A read that the queue fills leaves the driver alone: newer bytes are
    // found by the next pump, and asking now would mostly find nothing.
    if (FInput.Count() >= count) FeedRead();
    else PumpLocked(0);
    if (FRead.active && (ImmediateReads() || FHangUp))
        Complete(FRead, FRead.done == 0 && FHangUp ? FHangUp : ERROR_SUCCESS);
    if (FRead.active) return Fail(ERROR_IO_PENDING);
    if (read) *read = DWORD(ov.InternalHigh);
    return ov.Internal == ERROR_SUCCESS ? 1 : Fail(DWORD(ov.Internal));
}

BOOL TPosixDevice::WriteFile(const void* buffer, DWORD count, DWORD* written, OVERLAPPED& ov,
                             const std::shared_ptr<TPosixEvent>& event) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    if (FHangUp) return Fail(FHangUp);
    if (FWrite.active) return Fail(ERROR_BUSY);
    Start(FWrite, ov, event);
    // Only ever read from: the transfer keeps one pointer type for both directions.
    FWrite.data = const_cast<uint8_t*>(static_cast<const uint8_t*>(buffer));
    FWrite.size = count;
    SetWriteDeadline(FWrite, count);
    WriteOutput();
    if (FWrite.active) {
        KickWaiters();  // every waiter now also watches for room to write
        return Fail(ERROR_IO_PENDING);
    }
    if (written) *written = DWORD(ov.InternalHigh);
    return ov.Internal == ERROR_SUCCESS ? 1 : Fail(DWORD(ov.Internal));
}

BOOL TPosixDevice::OverlappedResult(const OVERLAPPED& ov, DWORD* transferred) {
    std::lock_guard lock(FMutex);
    if (ov.Internal == ERROR_IO_PENDING) return Fail(ERROR_IO_INCOMPLETE);
    if (transferred) *transferred = DWORD(ov.InternalHigh);
    return ov.Internal == ERROR_SUCCESS ? 1 : Fail(DWORD(ov.Internal));
}

BOOL TPosixDevice::Cancel(OVERLAPPED* ov) {
    std::lock_guard lock(FMutex);
    bool found = false;
    for (TTransfer* t : {&FWait, &FRead, &FWrite}) {
        if (!t->active || (ov && t->ov != ov)) continue;
        Complete(*t, ERROR_OPERATION_ABORTED);
        found = true;
    }
    return found ? 1 : Fail(ERROR_NOT_FOUND);
}

bool TPosixDevice::ImmediateReads() const {
    return FTimeouts.ReadIntervalTimeout == MAXDWORD && FTimeouts.ReadTotalTimeoutMultiplier == 0 &&
           FTimeouts.ReadTotalTimeoutConstant == 0;
}

// Total time-outs only; the interval time-out is not modelled, except that
// MAXDWORD intervals with a MAXDWORD multiplier return on the first byte.
void TPosixDevice::SetReadDeadline(TTransfer& t, DWORD count) {
    const COMMTIMEOUTS& to = FTimeouts;
    t.anyByte = to.ReadIntervalTimeout == MAXDWORD && to.ReadTotalTimeoutMultiplier == MAXDWORD &&
                to.ReadTotalTimeoutConstant != 0 && to.ReadTotalTimeoutConstant != MAXDWORD;
    const uint64_t total = t.anyByte ? to.ReadTotalTimeoutConstant
                                     : uint64_t(to.ReadTotalTimeoutMultiplier) * count + to.ReadTotalTimeoutConstant;
    t.hasDeadline = total > 0 && !ImmediateReads();
    t.deadline = Clock::now() + std::chrono::milliseconds(total);
}

void TPosixDevice::SetWriteDeadline(TTransfer& t, DWORD count) {
    const uint64_t total =
        uint64_t(FTimeouts.WriteTotalTimeoutMultiplier) * count + FTimeouts.WriteTotalTimeoutConstant;
    t.hasDeadline = total > 0;
    t.deadline = Clock::now() + std::chrono::milliseconds(total);
}

// ------------------------------------------------------------------ queues and status

BOOL TPosixDevice::ClearCommError(DWORD* errors, COMSTAT* stat) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    PumpLocked(0);
    if (errors) *errors = FErrors;
    FErrors = 0;
    if (stat) {
        stat->Flags = 0;
        stat->cbInQue = DWORD(FInput.Count());
        stat->cbOutQue = FDriver->OutputQueueBytes() + (FWrite.active ? FWrite.size - FWrite.done : 0);
    }
    return 1;
}

BOOL TPosixDevice::PurgeComm(DWORD flags) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return Fail(ERROR_INVALID_PARAMETER);
    if ((flags & PURGE_TXABORT) && FWrite.active) Complete(FWrite, ERROR_OPERATION_ABORTED);
    if ((flags & PURGE_RXABORT) && FRead.active) Complete(FRead, ERROR_OPERATION_ABORTED);
    const bool wasFull = FInput.Room() == 0;
    if (flags & PURGE_RXCLEAR) FInput.Clear();
    if (flags & (PURGE_TXCLEAR | PURGE_RXCLEAR))
        FDriver->Purge(flags & PURGE_TXCLEAR, flags & PURGE_RXCLEAR);
    CheckGone();
    if (wasFull && FInput.Room() > 0) KickWaiters();
    return 1;
}

// ------------------------------------------------------------------ moving data

bool TPosixDevice::PollRequest(pollfd& pfd, int& timeout) {
    std::lock_guard lock(FMutex);
    if (FClosed || !FSerial || FHangUp) return false;
    const short events = short((FInput.Room() > 0 ? POLLIN : 0) | (FWrite.active ? POLLOUT : 0));
    pfd = {FDriver->Fd(), FDriver->PollEvents(events), 0};
    const auto lower = [&timeout](int ms) { timeout = timeout < 0 ? ms : std::min(timeout, ms); };
    const auto now = Clock::now();
    for (const TTransfer* t : {&FRead, &FWrite}) {
        if (!t->active || !t->hasDeadline) continue;
        lower(int(std::max<long long>(
            0, std::chrono::ceil<std::chrono::milliseconds>(t->deadline - now).count())));
    }
    if (const int watchMs = FDriver->WatchIntervalMs(FMask); watchMs >= 0) lower(watchMs);
    return true;
}

void TPosixDevice::Pump(short revents) {
    std::lock_guard lock(FMutex);
    PumpLocked(revents);
}

void TPosixDevice::PumpLocked(short revents) {
    if (FClosed || !FSerial) return;
    if (FHangUp) return FeedRead();  // what arrived before the hang-up is still read
    const bool wasFull = FInput.Room() == 0;
    for (;;) {
        const bool more = ReadInput();
        FeedRead();
        if (!more || FHangUp || FInput.Room() == 0) break;
    }
    if (!FHangUp) FDriver->Flush();
    if (FWrite.active && !FHangUp) WriteOutput();
    if (!FHangUp) CheckGone();
    if ((revents & (POLLHUP | POLLERR | POLLNVAL)) && !FHangUp) HangUp(ERROR_GEN_FAILURE);
    if (FHangUp) return;
    NoteLineChange(FDriver->Watch(FMask));
    CheckDeadlines(Clock::now());
    if (wasFull && FInput.Room() > 0) KickWaiters();
}

// Reads what the driver holds into the queue; true when it stopped because the
// queue is full (the driver may hold more).
bool TPosixDevice::ReadInput() {
    uint8_t chunk[512];
    while (FInput.Room() > 0) {
        const TDeviceDriver::TReadResult got = FDriver->Read(chunk, std::min(sizeof chunk, FInput.Room()));
        if (got.bytes > 0 || got.change.events || got.change.errors) Received(chunk, got.bytes, got.change);
        if (got.drained) break;
    }
    if (CheckGone()) return false;
    return FInput.Room() == 0;
}

void TPosixDevice::Received(const uint8_t* data, size_t size, const TLineChange& change) {
    uint8_t kept[512];
    if (FStripNull) {
        size_t n = 0;
        for (size_t i = 0; i < size; ++i)
            if (data[i] != 0) kept[n++] = data[i];
        data = kept;
        size = n;
    }
    FErrors |= change.errors;
    DWORD events = change.events;
    if (size > 0) {
        FInput.Push(data, size);
        events |= EV_RXCHAR;
        if (std::memchr(data, uint8_t(FDcb.EvtChar), size)) events |= EV_RXFLAG;
    }
    if (events) Record(events);
}

void TPosixDevice::FeedRead() {
    if (!FRead.active) return;
    FRead.done += DWORD(FInput.Take(FRead.data + FRead.done, FRead.size - FRead.done));
    if (FRead.done == FRead.size || (FRead.anyByte && FRead.done > 0)) Complete(FRead, ERROR_SUCCESS);
}

void TPosixDevice::WriteOutput() {
    if (FWrite.active && FWrite.done < FWrite.size) {
        DWORD error = ERROR_SUCCESS;
        FWrite.done += DWORD(FDriver->Write(FWrite.data + FWrite.done, FWrite.size - FWrite.done, error));
        if (CheckGone()) return;
        if (error != ERROR_SUCCESS) return Complete(FWrite, error);
        if (FWrite.done < FWrite.size) return;
    }
    if (!FWrite.active) return;
    Complete(FWrite, ERROR_SUCCESS);
    Record(EV_TXEMPTY);
}

void TPosixDevice::CheckDeadlines(Clock::time_point now) {
    for (TTransfer* t : {&FRead, &FWrite})
        if (t->active && t->hasDeadline && now >= t->deadline) Complete(*t, ERROR_SUCCESS);
}

// Keeps the selected events for the wait in progress, or for the next one.
void TPosixDevice::Record(DWORD events) {
    FHistory |= events & FMask;
    if (!FWait.active || !FHistory) return;
    *FWait.mask = FHistory;
    FHistory = 0;
    Complete(FWait, ERROR_SUCCESS);
}

void TPosixDevice::NoteLineChange(const TLineChange& change) {
    FErrors |= change.errors;
    if (change.events) Record(change.events);
}

// True once the driver has found its line gone; the device hangs up with it.
bool TPosixDevice::CheckGone() {
    if (FHangUp) return true;
    const DWORD gone = FDriver->Gone();
    if (gone != ERROR_SUCCESS) HangUp(gone);
    return gone != ERROR_SUCCESS;
}

void TPosixDevice::HangUp(DWORD code) {
    FHangUp = code;
    FeedRead();  // the read in progress first takes what arrived before
    if (FWait.active) Complete(FWait, code);
    if (FRead.active) Complete(FRead, FRead.done > 0 ? ERROR_SUCCESS : code);
    if (FWrite.active) Complete(FWrite, code);
}

}  // namespace commapi::posix
