// The Linux provider of the communications operations.
#pragma once

#include <memory>
#include <string>

#include "comm/CommApi.h"
#include "comm/posix/PosixHandles.h"

namespace commapi::posix {
class TPosixDevice;
class TPosixEvent;
}  // namespace commapi::posix

namespace commapi {

class TPosixCommApi final : public TCommApi {
public:
    HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                       DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) override;
    DWORD GetFileType(HANDLE file) override;
    BOOL CloseHandle(HANDLE object) override;

    BOOL GetCommState(HANDLE file, DCB* dcb) override;
    BOOL SetCommState(HANDLE file, const DCB* dcb) override;
    BOOL SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts) override;
    BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) override;
    BOOL SetCommMask(HANDLE file, DWORD eventMask) override;
    BOOL WaitCommEvent(HANDLE file, DWORD* eventMask, OVERLAPPED* overlapped) override;
    BOOL ClearCommError(HANDLE file, DWORD* errors, COMSTAT* stat) override;
    BOOL PurgeComm(HANDLE file, DWORD flags) override;

    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written, OVERLAPPED* overlapped) override;
    BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, OVERLAPPED* overlapped) override;
    BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) override;
    BOOL CancelIoEx(HANDLE file, OVERLAPPED* overlapped) override;

    HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState, const char* name) override;
    BOOL SetEvent(HANDLE event) override;
    BOOL ResetEvent(HANDLE event) override;
    DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) override;

    // The device path behind a name: "COM1".."COM9" and "\\.\COMn" (any case)
    // are /dev/ttyS0.. ; any other name is used unchanged. A name that starts
    // with "rfc2217://" or "socket://" is a network serial server instead
    // (NetAddress.h, NetDriver.h).
    static std::string DevicePath(const std::string& name);

private:
    std::shared_ptr<posix::TPosixDevice> Device(HANDLE file) const;
    std::shared_ptr<posix::TPosixEvent> Event(HANDLE event) const;
    std::shared_ptr<posix::TPosixEvent> TransferEvent(const OVERLAPPED* overlapped) const;

    posix::THandleTable FHandles;
};

}  // namespace commapi
