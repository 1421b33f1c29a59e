#include "PosixDevice.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "PosixErrors.h"
#include "PosixEvent.h"

namespace commapi::posix {

namespace {

constexpr size_t DefaultInputQueue = 4096;
constexpr DWORD MaxQueue = 16u << 20;
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

std::shared_ptr<TPosixDevice> TPosixDevice::Open(const std::string& path, DWORD desiredAccess) {
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
    auto device = std::make_shared<TPosixDevice>(fd, type, tty);
    if (tty) {
        device->FHasModemLines = GetModemLines(fd, device->FModemLines) == 0;
        device->FHasCounters = ReadLineCounters(fd, device->FCounters) == 0;
        const int lines = device->FHasModemLines ? device->FModemLines : (TIOCM_DTR | TIOCM_RTS);
        SetDtrControl(device->FDcb, lines & TIOCM_DTR ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE);
        SetRtsControl(device->FDcb, lines & TIOCM_RTS ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE);
        DcbFromLine(line, device->FDcb);
    }
    return device;
}

TPosixDevice::TPosixDevice(int fd, DWORD fileType, bool tty)
    : FFd(fd), FFileType(fileType), FTty(tty), FInput(DefaultInputQueue) {
    FDcb.DCBlength = sizeof(DCB);
    FDcb.Flags = DCB_fBinary;
    FDcb.XonLim = 2048;
    FDcb.XoffLim = 512;
    FDcb.ByteSize = 8;
}

TPosixDevice::~TPosixDevice() { close(FFd); }

void TPosixDevice::Released() {
    std::lock_guard lock(FMutex);
    FClosed = true;
    for (TTransfer* t : {&FWait, &FRead, &FWrite})
        if (t->active) Complete(*t, ERROR_OPERATION_ABORTED);
    if (FTty) {
        (void)ioctl(FFd, TIOCNXCL);
        (void)flock(FFd, LOCK_UN);  // a new open may take the line at once
    }
}

BOOL TPosixDevice::Usable() const {
    if (FClosed) return Fail(ERROR_INVALID_HANDLE);
    if (!FTty) return Fail(ERROR_INVALID_FUNCTION);
    return 1;
}

// ------------------------------------------------------------------ settings

BOOL TPosixDevice::GetCommState(DCB& dcb) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    TLineSettings line;
    if (const int err = ReadLineSettings(FFd, line)) return FailWithErrno(err);
    DcbFromLine(line, FDcb);
    dcb = FDcb;
    return 1;
}

BOOL TPosixDevice::SetCommState(const DCB& dcb) {
    std::lock_guard lock(FMutex);
    if (!Usable()) return 0;
    TLineSettings line;
    if (const int err = ReadLineSettings(FFd, line)) return FailWithErrno(err);
    if (const DWORD err = LineFromDcb(dcb, line)) return Fail(err);
    if (const int err = WriteLineSettings(FFd, line)) return FailWithErrno(err);
    if (const int err = SetModemLines(FFd, DcbModemLines(dcb))) return FailWithErrno(err);
    // Asked for on a change only: an RS-485 mode the system set up is left alone.
    const bool rtsOnSend = RtsRaisedWhileSending(dcb);
    if (rtsOnSend != FRtsOnSend) RequestRtsOnSend(FFd, rtsOnSend);
    FRtsOnSend = rtsOnSend;
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
        stat->cbOutQue = OutputQueueBytes(FFd) + (FWrite.active ? FWrite.size - FWrite.done : 0);
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
    if (flags & PURGE_TXCLEAR) (void)tcflush(FFd, TCOFLUSH);
    if (flags & PURGE_RXCLEAR) {
        const bool wasFull = FInput.Room() == 0;
        FInput.Clear();
        (void)tcflush(FFd, TCIFLUSH);
        if (wasFull) KickWaiters();
    }
    return 1;
}

// ------------------------------------------------------------------ moving data

bool TPosixDevice::PollRequest(pollfd& pfd, int& timeout) {
    std::lock_guard lock(FMutex);
    if (FClosed || !FTty || FHangUp) return false;
    pfd = {FFd, short((FInput.Room() > 0 ? POLLIN : 0) | (FWrite.active ? POLLOUT : 0)), 0};
    const auto lower = [&timeout](int ms) { timeout = timeout < 0 ? ms : std::min(timeout, ms); };
    const auto now = Clock::now();
    for (const TTransfer* t : {&FRead, &FWrite}) {
        if (!t->active || !t->hasDeadline) continue;
        lower(int(std::max<long long>(
            0, std::chrono::ceil<std::chrono::milliseconds>(t->deadline - now).count())));
    }
    if (FHasModemLines && (FMask & ModemEvents)) lower(ModemPollMs);
    return true;
}

void TPosixDevice::Pump(short revents) {
    std::lock_guard lock(FMutex);
    PumpLocked(revents);
}

void TPosixDevice::PumpLocked(short revents) {
    if (FClosed || !FTty) return;
    if (FHangUp) return FeedRead();  // what arrived before the hang-up is still read
    const bool wasFull = FInput.Room() == 0;
    for (;;) {
        const bool more = ReadInput();
        FeedRead();
        if (!more || FHangUp || FInput.Room() == 0) break;
    }
    if (FWrite.active && !FHangUp) WriteOutput();
    if ((revents & (POLLHUP | POLLERR | POLLNVAL)) && !FHangUp) HangUp(ERROR_GEN_FAILURE);
    if (FHangUp) return;
    if (FHasModemLines && (FMask & ModemEvents)) CheckModemLines();
    CheckDeadlines(Clock::now());
    if (wasFull && FInput.Room() > 0) KickWaiters();
}

// Reads what the driver holds into the queue; true when it stopped because the
// queue is full (the driver may hold more). A read that returns less than it
// asked for has emptied the driver: asking again would find nothing, and
// bytes that arrive later wake the next poll.
bool TPosixDevice::ReadInput() {
    uint8_t chunk[512];
    while (FInput.Room() > 0) {
        const size_t asked = std::min(sizeof chunk, FInput.Room());
        const ssize_t n = read(FFd, chunk, asked);
        if (n > 0) {
            Received(chunk, size_t(n));
            if (size_t(n) < asked) return false;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return false;
        if (n < 0) HangUp(Win32Error(errno));
        else if (SignalsHangUp(FFd)) HangUp(ERROR_GEN_FAILURE);
        return false;
    }
    return true;
}

void TPosixDevice::Received(const uint8_t* data, size_t size) {
    uint8_t kept[512];
    if (FStripNull) {
        size_t n = 0;
        for (size_t i = 0; i < size; ++i)
            if (data[i] != 0) kept[n++] = data[i];
        data = kept;
        size = n;
    }
    if (FHasCounters) CheckLineCounters();
    if (size == 0) return;
    FInput.Push(data, size);
    DWORD events = EV_RXCHAR;
    if (std::memchr(data, uint8_t(FDcb.EvtChar), size)) events |= EV_RXFLAG;
    Record(events);
}

void TPosixDevice::FeedRead() {
    if (!FRead.active) return;
    FRead.done += DWORD(FInput.Take(FRead.data + FRead.done, FRead.size - FRead.done));
    if (FRead.done == FRead.size || (FRead.anyByte && FRead.done > 0)) Complete(FRead, ERROR_SUCCESS);
}

void TPosixDevice::WriteOutput() {
    while (FWrite.active && FWrite.done < FWrite.size) {
        const ssize_t n = write(FFd, FWrite.data + FWrite.done, FWrite.size - FWrite.done);
        if (n > 0) {
            FWrite.done += DWORD(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno == EAGAIN) return;
        if (IsHangUp(errno)) HangUp(Win32Error(errno));
        else Complete(FWrite, Win32Error(errno));
        return;
    }
    if (!FWrite.active) return;
    Complete(FWrite, ERROR_SUCCESS);
    Record(EV_TXEMPTY);
}

void TPosixDevice::CheckLineCounters() {
    TLineCounters now;
    if (ReadLineCounters(FFd, now) != 0) return;
    const TLineChange change = CountersChange(FCounters, now);
    FCounters = now;
    FErrors |= change.errors;
    if (change.events) Record(change.events);
}

void TPosixDevice::CheckModemLines() {
    int lines = 0;
    if (GetModemLines(FFd, lines) != 0) return;
    const DWORD events = ModemChange(FModemLines, lines);
    FModemLines = lines;
    if (events) Record(events);
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

void TPosixDevice::HangUp(DWORD code) {
    FHangUp = code;
    FeedRead();  // the read in progress first takes what arrived before
    if (FWait.active) Complete(FWait, code);
    if (FRead.active) Complete(FRead, FRead.done > 0 ? ERROR_SUCCESS : code);
    if (FWrite.active) Complete(FWrite, code);
}

}  // namespace commapi::posix
