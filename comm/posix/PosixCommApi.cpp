#include "comm/posix/PosixCommApi.h"

#include <cctype>

#include "comm/posix/NetAddress.h"
#include "comm/posix/NetDriver.h"
#include "comm/posix/PosixDevice.h"
#include "comm/posix/PosixErrors.h"
#include "comm/posix/PosixEvent.h"

namespace commapi {

using posix::Fail;
using posix::TPosixDevice;
using posix::TPosixEvent;

namespace {

// The n of "COMn" when `text` is exactly that (n from 1, no leading zero), else 0.
unsigned ComNumber(const std::string& text) {
    if (text.size() < 4 || text.size() > 7) return 0;
    const bool com = std::toupper(static_cast<unsigned char>(text[0])) == 'C' &&
                     std::toupper(static_cast<unsigned char>(text[1])) == 'O' &&
                     std::toupper(static_cast<unsigned char>(text[2])) == 'M';
    if (!com || text[3] == '0') return 0;
    unsigned n = 0;
    for (size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
        n = n * 10 + unsigned(text[i] - '0');
    }
    return n;
}

// Blocks the calling thread (the window's, for the console) for at most
// NetOpenLimit: a dead address fails in bounded time.
std::shared_ptr<TPosixDevice> OpenNetDevice(const std::string& name) {
    auto driver = posix::TNetDriver::Open(name, std::chrono::steady_clock::now() + posix::NetOpenLimit);
    return driver ? std::make_shared<TPosixDevice>(std::move(driver), FILE_TYPE_CHAR) : nullptr;
}

}  // namespace

std::string TPosixCommApi::DevicePath(const std::string& name) {
    static const std::string devicePrefix = "\\\\.\\";
    const bool prefixed = name.compare(0, devicePrefix.size(), devicePrefix) == 0;
    const unsigned n = ComNumber(prefixed ? name.substr(devicePrefix.size()) : name);
    if (n == 0 || (!prefixed && n > 9)) return name;
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::shared_ptr<TPosixDevice> TPosixCommApi::Device(HANDLE file) const {
    auto device = FHandles.Lookup<TPosixDevice>(file);
    if (!device) SetLastError(ERROR_INVALID_HANDLE);
    return device;
}

std::shared_ptr<TPosixEvent> TPosixCommApi::Event(HANDLE event) const {
    auto object = FHandles.Lookup<TPosixEvent>(event);
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

std::shared_ptr<TPosixEvent> TPosixCommApi::TransferEvent(const OVERLAPPED* overlapped) const {
    auto event = overlapped ? FHandles.Lookup<TPosixEvent>(overlapped->hEvent) : nullptr;
    if (!event) SetLastError(ERROR_INVALID_PARAMETER);
    return event;
}

HANDLE TPosixCommApi::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD, void*,
                                  DWORD creationDisposition, DWORD, HANDLE) {
    if (!fileName || creationDisposition != OPEN_EXISTING) return Fail(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
    auto device = posix::IsNetName(fileName) ? OpenNetDevice(fileName) : TPosixDevice::Open(DevicePath(fileName), desiredAccess);
    return device ? FHandles.Insert(std::move(device)) : INVALID_HANDLE_VALUE;
}

DWORD TPosixCommApi::GetFileType(HANDLE file) {
    const auto device = Device(file);
    return device ? device->FileType() : FILE_TYPE_UNKNOWN;
}

BOOL TPosixCommApi::CloseHandle(HANDLE object) {
    return FHandles.Release(object) ? 1 : Fail(ERROR_INVALID_HANDLE);
}

BOOL TPosixCommApi::GetCommState(HANDLE file, DCB* dcb) {
    const auto device = Device(file);
    if (!device) return 0;
    return dcb ? device->GetCommState(*dcb) : Fail(ERROR_INVALID_PARAMETER);
}

BOOL TPosixCommApi::SetCommState(HANDLE file, const DCB* dcb) {
    const auto device = Device(file);
    if (!device) return 0;
    return dcb ? device->SetCommState(*dcb) : Fail(ERROR_INVALID_PARAMETER);
}

BOOL TPosixCommApi::SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts) {
    const auto device = Device(file);
    if (!device) return 0;
    return timeouts ? device->SetCommTimeouts(*timeouts) : Fail(ERROR_INVALID_PARAMETER);
}

BOOL TPosixCommApi::SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) {
    const auto device = Device(file);
    return device ? device->SetupComm(inQueue, outQueue) : 0;
}

BOOL TPosixCommApi::SetCommMask(HANDLE file, DWORD eventMask) {
    const auto device = Device(file);
    return device ? device->SetCommMask(eventMask) : 0;
}

BOOL TPosixCommApi::WaitCommEvent(HANDLE file, DWORD* eventMask, OVERLAPPED* overlapped) {
    const auto device = Device(file);
    if (!device) return 0;
    const auto event = TransferEvent(overlapped);
    if (!event || !eventMask) return Fail(ERROR_INVALID_PARAMETER);
    return device->WaitCommEvent(eventMask, *overlapped, event);
}

BOOL TPosixCommApi::ClearCommError(HANDLE file, DWORD* errors, COMSTAT* stat) {
    const auto device = Device(file);
    return device ? device->ClearCommError(errors, stat) : 0;
}

BOOL TPosixCommApi::PurgeComm(HANDLE file, DWORD flags) {
    const auto device = Device(file);
    return device ? device->PurgeComm(flags) : 0;
}

BOOL TPosixCommApi::WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
                              OVERLAPPED* overlapped) {
    const auto device = Device(file);
    if (!device) return 0;
    const auto event = TransferEvent(overlapped);
    if (!event || (!buffer && count > 0)) return Fail(ERROR_INVALID_PARAMETER);
    return device->WriteFile(buffer, count, written, *overlapped, event);
}

BOOL TPosixCommApi::ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped) {
    const auto device = Device(file);
    if (!device) return 0;
    const auto event = TransferEvent(overlapped);
    if (!event || (!buffer && count > 0)) return Fail(ERROR_INVALID_PARAMETER);
    return device->ReadFile(buffer, count, read, *overlapped, event);
}

// With `wait`, one wait on the transfer's event: a transfer that is still
// running after it (the event was set by someone else) is reported incomplete.
BOOL TPosixCommApi::GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) {
    const auto device = Device(file);
    if (!device) return 0;
    if (!overlapped) return Fail(ERROR_INVALID_PARAMETER);
    if (device->OverlappedResult(*overlapped, transferred)) return 1;
    if (!wait || GetLastError() != ERROR_IO_INCOMPLETE) return 0;
    const auto event = TransferEvent(overlapped);
    if (!event || event->Wait(INFINITE) != WAIT_OBJECT_0) return 0;
    return device->OverlappedResult(*overlapped, transferred);
}

BOOL TPosixCommApi::CancelIoEx(HANDLE file, OVERLAPPED* overlapped) {
    const auto device = Device(file);
    return device ? device->Cancel(overlapped) : 0;
}

HANDLE TPosixCommApi::CreateEventA(void*, BOOL manualReset, BOOL initialState, const char* name) {
    if (name) return Fail(ERROR_NOT_SUPPORTED), nullptr;
    auto event = TPosixEvent::Create(manualReset != 0, initialState != 0);
    return event ? FHandles.Insert(std::move(event)) : nullptr;
}

BOOL TPosixCommApi::SetEvent(HANDLE event) {
    const auto object = Event(event);
    if (!object) return 0;
    object->Set();
    return 1;
}

BOOL TPosixCommApi::ResetEvent(HANDLE event) {
    const auto object = Event(event);
    if (!object) return 0;
    object->Reset();
    return 1;
}

DWORD TPosixCommApi::WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    const auto event = Event(object);
    return event ? event->Wait(milliseconds) : WAIT_FAILED;
}

TCommApi& LinuxProvider() {
    // Never destroyed: a thread still running at process exit may call it.
    static TCommApi* const provider = new TPosixCommApi;
    return *provider;
}

}  // namespace commapi
