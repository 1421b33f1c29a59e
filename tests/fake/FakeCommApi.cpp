#include "tests/fake/FakeCommApi.h"

#include <algorithm>
#include <chrono>
#include <cstring>

using namespace commapi;

namespace {

BOOL FailWith(DWORD code) {
    TCommApi::SetLastError(code);
    return 0;
}

}  // namespace

TFakeCommApi::TFakeCommApi() {
    // A device as a driver leaves it: binary, DTR and RTS on, 9600 8N1.
    FDeviceDcb.DCBlength = sizeof(DCB);
    FDeviceDcb.BaudRate = 9600;
    FDeviceDcb.Flags = DCB_fBinary | (DTR_CONTROL_ENABLE << 4) | (RTS_CONTROL_ENABLE << 12);
    FDeviceDcb.XonLim = 2048;
    FDeviceDcb.XoffLim = 512;
    FDeviceDcb.ByteSize = 8;
    FDeviceDcb.XonChar = 17;
    FDeviceDcb.XoffChar = 19;
}

// ------------------------------------------------------------------ scripting

void TFakeCommApi::Fail(const std::string& op, DWORD code, int times) {
    std::lock_guard lock(FMutex);
    FFailures[op] = {code, times};
}

void TFakeCommApi::ClearFailures() {
    std::lock_guard lock(FMutex);
    FFailures.clear();
}

void TFakeCommApi::SetFileType(DWORD type) {
    std::lock_guard lock(FMutex);
    FFileType = type;
}

void TFakeCommApi::SetDeviceDcb(const DCB& dcb) {
    std::lock_guard lock(FMutex);
    FDeviceDcb = dcb;
}

void TFakeCommApi::SetWritesPending(bool pending) {
    std::lock_guard lock(FMutex);
    FWritesPending = pending;
}

void TFakeCommApi::SetReadsPending(bool pending) {
    std::lock_guard lock(FMutex);
    FReadsPending = pending;
}

void TFakeCommApi::Receive(const std::string& bytes) {
    std::lock_guard lock(FMutex);
    TDevice* device = Device(FLastDevice);
    if (!device || bytes.empty()) return;
    device->input += bytes;
    DWORD events = EV_RXCHAR;
    if (bytes.find(device->dcb.EvtChar) != std::string::npos) events |= EV_RXFLAG;
    RecordEvents(*device, events);
}

void TFakeCommApi::RaiseEvents(DWORD events) {
    std::lock_guard lock(FMutex);
    if (TDevice* device = Device(FLastDevice)) RecordEvents(*device, events);
}

void TFakeCommApi::SetLineErrors(DWORD errors) {
    std::lock_guard lock(FMutex);
    if (TDevice* device = Device(FLastDevice)) device->errors = errors;
}

void TFakeCommApi::ForceWaitResult(DWORD timeout, DWORD result, DWORD error) {
    std::lock_guard lock(FMutex);
    FForcedWait = true;
    FForcedTimeout = timeout;
    FForcedResult = result;
    FForcedError = error;
}

bool TFakeCommApi::CompletePendingWrite() {
    std::lock_guard lock(FMutex);
    TDevice* device = Device(FLastDevice);
    if (!device || !device->write.ov) return false;
    FWritten.append(reinterpret_cast<const char*>(device->write.data), device->write.size);
    Complete(device->write, ERROR_SUCCESS, device->write.size);
    RecordEvents(*device, EV_TXEMPTY);
    return true;
}

// ------------------------------------------------------------------ observations

std::vector<TFakeCommApi::TCall> TFakeCommApi::Calls() const {
    std::lock_guard lock(FMutex);
    return FCalls;
}

std::vector<TFakeCommApi::TCall> TFakeCommApi::CallsOf(const std::string& op) const {
    std::lock_guard lock(FMutex);
    std::vector<TCall> calls;
    std::copy_if(FCalls.begin(), FCalls.end(), std::back_inserter(calls),
                 [&op](const TCall& c) { return c.op == op; });
    return calls;
}

int TFakeCommApi::Count(const std::string& op) const { return int(CallsOf(op).size()); }

void TFakeCommApi::ClearCalls() {
    std::lock_guard lock(FMutex);
    FCalls.clear();
}

std::vector<DCB> TFakeCommApi::AppliedDcbs() const { return Locked(FApplied); }

COMMTIMEOUTS TFakeCommApi::LastTimeouts() const { return Locked(FTimeouts); }

DWORD TFakeCommApi::InQueueSize() const { return Locked(FInQueue); }

DWORD TFakeCommApi::OutQueueSize() const { return Locked(FOutQueue); }

DWORD TFakeCommApi::CommMask() const {
    std::lock_guard lock(FMutex);
    const auto it = FDevices.find(FLastDevice);
    return it == FDevices.end() ? 0 : it->second.mask;
}

std::string TFakeCommApi::Written() const {
    std::lock_guard lock(FMutex);
    return FWritten;
}

bool TFakeCommApi::HasPendingTransfer() const {
    std::lock_guard lock(FMutex);
    return std::any_of(FDevices.begin(), FDevices.end(),
                       [](const auto& d) { return d.second.read.ov || d.second.write.ov; });
}

bool TFakeCommApi::HasPendingWait() const {
    std::lock_guard lock(FMutex);
    return std::any_of(FDevices.begin(), FDevices.end(), [](const auto& d) { return d.second.wait.ov; });
}

HANDLE TFakeCommApi::LastDevice() const {
    std::lock_guard lock(FMutex);
    return FLastDevice;
}

int TFakeCommApi::OpenHandles() const {
    std::lock_guard lock(FMutex);
    return int(FDevices.size() + FEvents.size());
}

int TFakeCommApi::CriticalSectionDepth() const {
    std::lock_guard lock(FMutex);
    return FSectionDepth;
}

// ------------------------------------------------------------------ helpers (under FMutex)

BOOL TFakeCommApi::Record(const char* op, HANDLE handle, DWORD arg, BOOL result) {
    FCalls.push_back({op, handle, arg, result});
    return result;
}

DWORD TFakeCommApi::ScriptedFailure(const std::string& op) {
    const auto it = FFailures.find(op);
    if (it == FFailures.end() || it->second.second == 0) return ERROR_SUCCESS;
    if (it->second.second > 0) --it->second.second;
    return it->second.first;
}

TFakeCommApi::TDevice* TFakeCommApi::Device(HANDLE file) {
    const auto it = FDevices.find(file);
    return it == FDevices.end() ? nullptr : &it->second;
}

// The device of a call, or null after recording its failure (unknown handle or scripted).
TFakeCommApi::TDevice* TFakeCommApi::Begin(const char* op, HANDLE file, DWORD arg) {
    TDevice* device = Device(file);
    const DWORD code = device ? ScriptedFailure(op) : ERROR_INVALID_HANDLE;
    if (!code) return device;
    Record(op, file, arg, FailWith(code));
    return nullptr;
}

void TFakeCommApi::Start(TTransfer& t, OVERLAPPED* ov) {
    t = TTransfer{};
    t.ov = ov;
    ov->Internal = ERROR_IO_PENDING;
    ov->InternalHigh = 0;
    const auto it = FEvents.find(ov->hEvent);
    if (it != FEvents.end()) it->second.signaled = false;
}

void TFakeCommApi::Complete(TTransfer& t, DWORD status, DWORD count) {
    t.ov->Internal = status;
    t.ov->InternalHigh = count;
    const HANDLE event = t.ov->hEvent;
    t = TTransfer{};
    SignalLocked(event);
}

void TFakeCommApi::RecordEvents(TDevice& device, DWORD events) {
    device.history |= events & device.mask;
    if (!device.wait.ov || !device.history) return;
    *device.wait.mask = device.history;
    device.history = 0;
    Complete(device.wait, ERROR_SUCCESS, 0);
}

void TFakeCommApi::SignalLocked(HANDLE event) {
    const auto it = FEvents.find(event);
    if (it != FEvents.end()) it->second.signaled = true;
    FChanged.notify_all();
}

// ------------------------------------------------------------------ files

HANDLE TFakeCommApi::CreateFileA(const char* fileName, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
    std::lock_guard lock(FMutex);
    if (const DWORD code = ScriptedFailure("CreateFileA")) {
        Record("CreateFileA", INVALID_HANDLE_VALUE, 0, 0);
        SetLastError(code);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(FNextHandle);
    FNextHandle += 4;
    FDevices[handle] = TDevice{FFileType, FDeviceDcb, {}, 0, 0, 0, {}, {}, {}};
    FLastDevice = handle;
    Record("CreateFileA", handle, fileName ? 1 : 0, 1);
    return handle;
}

DWORD TFakeCommApi::GetFileType(HANDLE file) {
    std::lock_guard lock(FMutex);
    TDevice* device = Device(file);
    const DWORD type = device ? device->fileType : FILE_TYPE_UNKNOWN;
    Record("GetFileType", file, type, 1);
    return type;
}

BOOL TFakeCommApi::CloseHandle(HANDLE object) {
    std::lock_guard lock(FMutex);
    if (TDevice* device = Device(object)) {
        for (TTransfer* t : {&device->wait, &device->read, &device->write})
            if (t->ov) Complete(*t, ERROR_OPERATION_ABORTED, 0);
        FDevices.erase(object);
        return Record("CloseHandle", object, 0, 1);
    }
    if (FEvents.erase(object)) {
        FChanged.notify_all();
        return Record("CloseHandle", object, 0, 1);
    }
    Record("CloseHandle", object, 0, 0);
    return FailWith(ERROR_INVALID_HANDLE);
}

BOOL TFakeCommApi::GetCommState(HANDLE file, DCB* dcb) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("GetCommState", file, 0);
    if (!device) return 0;
    *dcb = device->dcb;
    return Record("GetCommState", file, 0, 1);
}

BOOL TFakeCommApi::SetCommState(HANDLE file, const DCB* dcb) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("SetCommState", file, dcb->Flags);
    if (!device) return 0;
    device->dcb = *dcb;
    FApplied.push_back(*dcb);
    return Record("SetCommState", file, dcb->Flags, 1);
}

BOOL TFakeCommApi::SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("SetCommTimeouts", file, 0);
    if (!device) return 0;
    FTimeouts = *timeouts;
    return Record("SetCommTimeouts", file, 0, 1);
}

BOOL TFakeCommApi::SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("SetupComm", file, inQueue);
    if (!device) return 0;
    FInQueue = inQueue;
    FOutQueue = outQueue;
    return Record("SetupComm", file, inQueue, 1);
}

BOOL TFakeCommApi::SetCommMask(HANDLE file, DWORD eventMask) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("SetCommMask", file, eventMask);
    if (!device) return 0;
    device->mask = eventMask;
    device->history = 0;
    if (device->wait.ov) {
        *device->wait.mask = 0;
        Complete(device->wait, ERROR_SUCCESS, 0);
    }
    return Record("SetCommMask", file, eventMask, 1);
}

BOOL TFakeCommApi::WaitCommEvent(HANDLE file, DWORD* eventMask, OVERLAPPED* overlapped) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("WaitCommEvent", file, 0);
    if (!device) return 0;
    if (device->wait.ov || device->mask == 0)
        return Record("WaitCommEvent", file, 0, FailWith(ERROR_INVALID_PARAMETER));
    Start(device->wait, overlapped);
    device->wait.mask = eventMask;
    if (device->history) {
        RecordEvents(*device, 0);
        return Record("WaitCommEvent", file, *eventMask, 1);
    }
    return Record("WaitCommEvent", file, 0, FailWith(ERROR_IO_PENDING));
}

BOOL TFakeCommApi::ClearCommError(HANDLE file, DWORD* errors, COMSTAT* stat) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("ClearCommError", file, 0);
    if (!device) return 0;
    if (errors) *errors = device->errors;
    device->errors = 0;
    if (stat) *stat = COMSTAT{0, DWORD(device->input.size()), 0};
    return Record("ClearCommError", file, DWORD(device->input.size()), 1);
}

BOOL TFakeCommApi::PurgeComm(HANDLE file, DWORD flags) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("PurgeComm", file, flags);
    if (!device) return 0;
    if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
        return Record("PurgeComm", file, flags, FailWith(ERROR_INVALID_PARAMETER));
    if ((flags & PURGE_TXABORT) && device->write.ov) Complete(device->write, ERROR_OPERATION_ABORTED, 0);
    if ((flags & PURGE_RXABORT) && device->read.ov) Complete(device->read, ERROR_OPERATION_ABORTED, 0);
    if (flags & PURGE_RXCLEAR) device->input.clear();
    return Record("PurgeComm", file, flags, 1);
}

// ------------------------------------------------------------------ transfers

BOOL TFakeCommApi::WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, OVERLAPPED* overlapped) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("WriteFile", file, count);
    if (!device) return 0;
    // The line carries one transfer per direction at a time.
    if (device->write.ov) return Record("WriteFile", file, count, FailWith(ERROR_BUSY));
    Start(device->write, overlapped);
    if (FWritesPending) {
        device->write.data = static_cast<uint8_t*>(const_cast<void*>(buffer));
        device->write.size = count;
        return Record("WriteFile", file, count, FailWith(ERROR_IO_PENDING));
    }
    FWritten.append(static_cast<const char*>(buffer), count);
    if (written) *written = count;
    Complete(device->write, ERROR_SUCCESS, count);
    RecordEvents(*device, EV_TXEMPTY);
    return Record("WriteFile", file, count, 1);
}

BOOL TFakeCommApi::ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("ReadFile", file, count);
    if (!device) return 0;
    if (device->read.ov) return Record("ReadFile", file, count, FailWith(ERROR_BUSY));
    Start(device->read, overlapped);
    if (FReadsPending) {
        device->read.data = static_cast<uint8_t*>(buffer);
        device->read.size = count;
        return Record("ReadFile", file, count, FailWith(ERROR_IO_PENDING));
    }
    const DWORD n = std::min<DWORD>(count, DWORD(device->input.size()));
    std::memcpy(buffer, device->input.data(), n);
    device->input.erase(0, n);
    if (read) *read = n;
    Complete(device->read, ERROR_SUCCESS, n);
    return Record("ReadFile", file, count, 1);
}

BOOL TFakeCommApi::GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) {
    Lock lock(FMutex);
    TDevice* device = Begin("GetOverlappedResult", file, DWORD(wait));
    if (!device) return 0;
    if (wait) FChanged.wait(lock, [&] { return overlapped->Internal != ERROR_IO_PENDING; });
    if (overlapped->Internal == ERROR_IO_PENDING)
        return Record("GetOverlappedResult", file, DWORD(wait), FailWith(ERROR_IO_INCOMPLETE));
    if (transferred) *transferred = DWORD(overlapped->InternalHigh);
    if (overlapped->Internal != ERROR_SUCCESS)
        return Record("GetOverlappedResult", file, DWORD(wait), FailWith(DWORD(overlapped->Internal)));
    return Record("GetOverlappedResult", file, DWORD(wait), 1);
}

BOOL TFakeCommApi::CancelIoEx(HANDLE file, OVERLAPPED* overlapped) {
    std::lock_guard lock(FMutex);
    TDevice* device = Begin("CancelIoEx", file, 0);
    if (!device) return 0;
    bool found = false;
    for (TTransfer* t : {&device->wait, &device->read, &device->write}) {
        if (!t->ov || (overlapped && t->ov != overlapped)) continue;
        Complete(*t, ERROR_OPERATION_ABORTED, 0);
        found = true;
    }
    return Record("CancelIoEx", file, 0, found ? 1 : FailWith(ERROR_NOT_FOUND));
}

// ------------------------------------------------------------------ events and sections

HANDLE TFakeCommApi::CreateEventA(void*, BOOL manualReset, BOOL initialState, const char* name) {
    std::lock_guard lock(FMutex);
    const DWORD shape = (manualReset ? 1u : 0u) | (initialState ? 2u : 0u) | (name ? 4u : 0u);
    if (const DWORD code = ScriptedFailure("CreateEventA")) {
        Record("CreateEventA", nullptr, shape, FailWith(code));
        return nullptr;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(FNextHandle);
    FNextHandle += 4;
    FEvents[handle] = TEventState{manualReset != 0, initialState != 0};
    Record("CreateEventA", handle, shape, 1);
    return handle;
}

BOOL TFakeCommApi::SetEvent(HANDLE event) {
    std::lock_guard lock(FMutex);
    if (!FEvents.count(event)) return Record("SetEvent", event, 0, FailWith(ERROR_INVALID_HANDLE));
    SignalLocked(event);
    return Record("SetEvent", event, 0, 1);
}

BOOL TFakeCommApi::ResetEvent(HANDLE event) {
    std::lock_guard lock(FMutex);
    const auto it = FEvents.find(event);
    if (it == FEvents.end()) return Record("ResetEvent", event, 0, FailWith(ERROR_INVALID_HANDLE));
    it->second.signaled = false;
    return Record("ResetEvent", event, 0, 1);
}

DWORD TFakeCommApi::WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    Lock lock(FMutex);
    if (FForcedWait && milliseconds == FForcedTimeout) {
        FForcedWait = false;
        SetLastError(FForcedError);
        return DWORD(Record("WaitForSingleObject", object, milliseconds, BOOL(FForcedResult)));
    }
    const auto ready = [&] {
        const auto it = FEvents.find(object);
        return it == FEvents.end() || it->second.signaled;
    };
    bool signaled;
    if (milliseconds == INFINITE) {
        FChanged.wait(lock, ready);
        signaled = true;
    } else {
        signaled = FChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
    }
    const auto it = FEvents.find(object);
    if (it == FEvents.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return DWORD(Record("WaitForSingleObject", object, milliseconds, BOOL(WAIT_FAILED)));
    }
    if (signaled && !it->second.manualReset) it->second.signaled = false;
    const DWORD result = signaled ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    return DWORD(Record("WaitForSingleObject", object, milliseconds, BOOL(result)));
}

void TFakeCommApi::EnterCriticalSection(CRITICAL_SECTION* section) {
    TCommApi::EnterCriticalSection(section);
    std::lock_guard lock(FMutex);
    ++FSectionDepth;
    Record("EnterCriticalSection", nullptr, 0, 1);
}

void TFakeCommApi::LeaveCriticalSection(CRITICAL_SECTION* section) {
    {
        std::lock_guard lock(FMutex);
        --FSectionDepth;
        Record("LeaveCriticalSection", nullptr, 0, 1);
    }
    TCommApi::LeaveCriticalSection(section);
}
