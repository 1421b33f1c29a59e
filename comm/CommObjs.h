// Thin wrappers of the provider's synchronisation objects.
#pragma once

#include <cstdint>

#include "comm/CommApi.h"

enum TWaitResult : uint8_t { wrSignaled, wrTimeout, wrAbandoned, wrError };

// Owns one handle of the provider it was created with; closes it when destroyed.
class THandleObject {
public:
    explicit THandleObject(commapi::TCommApi& api = commapi::Current());
    virtual ~THandleObject();
    THandleObject(const THandleObject&) = delete;
    THandleObject& operator=(const THandleObject&) = delete;

    commapi::HANDLE Handle() const { return FHandle; }
    // The system error code of the last failed wait.
    uint32_t LastError() const { return FLastError; }

protected:
    commapi::TCommApi& FApi;
    commapi::HANDLE FHandle = nullptr;
    uint32_t FLastError = 0;
};

class TEvent : public THandleObject {
public:
    TEvent(bool manualReset, bool initialState, commapi::TCommApi& api = commapi::Current());
    // `timeout` in milliseconds; commapi::INFINITE waits without limit.
    TWaitResult WaitFor(uint32_t timeout);
    bool SetEvent();
    bool ResetEvent();
};

// Unnamed, manual reset, initially clear.
class TSimpleEvent : public TEvent {
public:
    explicit TSimpleEvent(commapi::TCommApi& api = commapi::Current());
};

class TCriticalSection {
public:
    explicit TCriticalSection(commapi::TCommApi& api = commapi::Current());
    virtual ~TCriticalSection();
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Enter();
    void Leave();

private:
    commapi::TCommApi& FApi;
    commapi::CRITICAL_SECTION FSection;
};
