// A provider for tests: records every call, models the opened devices with a
// scripted input queue and event history, and fails any operation with any
// code on request. Safe to drive from the test thread while a port's event
// thread waits on it.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "comm/CommApi.h"

class TFakeCommApi : public commapi::TCommApi {
public:
    using BOOL = commapi::BOOL;
    using DWORD = commapi::DWORD;
    using HANDLE = commapi::HANDLE;

    struct TCall {
        std::string op;
        HANDLE handle;
        DWORD arg;    // the operation's main number: count, mask, flags, timeout...
        BOOL result;  // for waits: the WAIT_ value
    };

    TFakeCommApi();

    // ---- scripting (any thread)
    // Fails `op` (the operation's name, e.g. "SetCommState") with `code`:
    // `times` calls, or every call from now on when negative.
    void Fail(const std::string& op, DWORD code, int times = -1);
    void ClearFailures();
    // What GetFileType answers for devices opened from now on.
    void SetFileType(DWORD type);
    // The state that GetCommState reports for a newly opened device.
    void SetDeviceDcb(const commapi::DCB& dcb);
    // Transfers that go pending and stay so until completed or cancelled.
    // A write that completes reports EV_TXEMPTY, as the real line does.
    void SetWritesPending(bool pending);
    void SetReadsPending(bool pending);
    // Bytes arrive at the most recently opened device: EV_RXCHAR, and EV_RXFLAG
    // when the DCB's event character is among them.
    void Receive(const std::string& bytes);
    // Events occur at the most recently opened device.
    void RaiseEvents(DWORD events);
    // Error flags that ClearCommError reports (and clears).
    void SetLineErrors(DWORD errors);
    // The next WaitForSingleObject with exactly this time limit returns
    // `result` with `error` as last error (other waits, such as the event
    // thread's, are left alone).
    void ForceWaitResult(DWORD timeout, DWORD result, DWORD error);
    // Completes a pending write from the caller's buffer (what a late device would do).
    bool CompletePendingWrite();

    // ---- observations
    std::vector<TCall> Calls() const;
    std::vector<TCall> CallsOf(const std::string& op) const;
    int Count(const std::string& op) const;
    void ClearCalls();
    std::vector<commapi::DCB> AppliedDcbs() const;
    commapi::COMMTIMEOUTS LastTimeouts() const;
    DWORD InQueueSize() const;
    DWORD OutQueueSize() const;
    DWORD CommMask() const;
    std::string Written() const;
    bool HasPendingTransfer() const;
    bool HasPendingWait() const;
    HANDLE LastDevice() const;
    int OpenHandles() const;
    int CriticalSectionDepth() const;

    // ---- the provider
    HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                       DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) override;
    DWORD GetFileType(HANDLE file) override;
    BOOL CloseHandle(HANDLE object) override;
    BOOL GetCommState(HANDLE file, commapi::DCB* dcb) override;
    BOOL SetCommState(HANDLE file, const commapi::DCB* dcb) override;
    BOOL SetCommTimeouts(HANDLE file, const commapi::COMMTIMEOUTS* timeouts) override;
    BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) override;
    BOOL SetCommMask(HANDLE file, DWORD eventMask) override;
    BOOL WaitCommEvent(HANDLE file, DWORD* eventMask, commapi::OVERLAPPED* overlapped) override;
    BOOL ClearCommError(HANDLE file, DWORD* errors, commapi::COMSTAT* stat) override;
    BOOL PurgeComm(HANDLE file, DWORD flags) override;
    BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
                   commapi::OVERLAPPED* overlapped) override;
    BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, commapi::OVERLAPPED* overlapped) override;
    BOOL GetOverlappedResult(HANDLE file, commapi::OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) override;
    BOOL CancelIoEx(HANDLE file, commapi::OVERLAPPED* overlapped) override;
    HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState, const char* name) override;
    BOOL SetEvent(HANDLE event) override;
    BOOL ResetEvent(HANDLE event) override;
    DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) override;
    void EnterCriticalSection(commapi::CRITICAL_SECTION* section) override;
    void LeaveCriticalSection(commapi::CRITICAL_SECTION* section) override;

private:
    // A copy of a field taken under the lock: the port's threads write them.
    template <typename T>
    T Locked(const T& field) const {
        std::lock_guard lock(FMutex);
        return field;
    }

    struct TTransfer {
        commapi::OVERLAPPED* ov = nullptr;
        uint8_t* data = nullptr;
        DWORD size = 0;
        DWORD* mask = nullptr;
    };
    struct TDevice {
        DWORD fileType;
        commapi::DCB dcb;
        std::string input;
        DWORD mask = 0, history = 0, errors = 0;
        TTransfer wait, read, write;
    };
    struct TEventState {
        bool manualReset, signaled;
    };
    using Lock = std::unique_lock<std::mutex>;

    BOOL Record(const char* op, HANDLE handle, DWORD arg, BOOL result);
    DWORD ScriptedFailure(const std::string& op);
    TDevice* Device(HANDLE file);
    TDevice* Begin(const char* op, HANDLE file, DWORD arg);
    void Start(TTransfer& t, commapi::OVERLAPPED* ov);
    void Complete(TTransfer& t, DWORD status, DWORD count);
    void RecordEvents(TDevice& device, DWORD events);
    void SignalLocked(HANDLE event);

    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<TCall> FCalls;
    std::map<std::string, std::pair<DWORD, int>> FFailures;
    std::map<HANDLE, TDevice> FDevices;
    std::map<HANDLE, TEventState> FEvents;
    uintptr_t FNextHandle = 0x1000;
    HANDLE FLastDevice = nullptr;
    DWORD FFileType = commapi::FILE_TYPE_CHAR;
    commapi::DCB FDeviceDcb{};
    bool FWritesPending = false, FReadsPending = false;
    std::vector<commapi::DCB> FApplied;
    commapi::COMMTIMEOUTS FTimeouts{};
    DWORD FInQueue = 0, FOutQueue = 0;
    std::string FWritten;
    bool FForcedWait = false;
    DWORD FForcedTimeout = 0, FForcedResult = 0, FForcedError = 0;
    int FSectionDepth = 0;
};
