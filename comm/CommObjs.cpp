#include "comm/CommObjs.h"

using namespace commapi;

THandleObject::THandleObject(TCommApi& api) : FApi(api) {}

THandleObject::~THandleObject() {
    if (FHandle) FApi.CloseHandle(FHandle);
}

TEvent::TEvent(bool manualReset, bool initialState, TCommApi& api) : THandleObject(api) {
    FHandle = FApi.CreateEventA(nullptr, manualReset, initialState, nullptr);
}

TWaitResult TEvent::WaitFor(uint32_t timeout) {
    switch (FApi.WaitForSingleObject(FHandle, timeout)) {
    case WAIT_OBJECT_0: return wrSignaled;
    case WAIT_TIMEOUT: return wrTimeout;
    case WAIT_ABANDONED: return wrAbandoned;
    case WAIT_FAILED:
        FLastError = TCommApi::GetLastError();
        return wrError;
    default: return wrError;
    }
}

bool TEvent::SetEvent() { return FApi.SetEvent(FHandle) != 0; }
bool TEvent::ResetEvent() { return FApi.ResetEvent(FHandle) != 0; }

TSimpleEvent::TSimpleEvent(TCommApi& api) : TEvent(true, false, api) {}

TCriticalSection::TCriticalSection(TCommApi& api) : FApi(api) { FApi.InitializeCriticalSection(&FSection); }
TCriticalSection::~TCriticalSection() { FApi.DeleteCriticalSection(&FSection); }
void TCriticalSection::Enter() { FApi.EnterCriticalSection(&FSection); }
void TCriticalSection::Leave() { FApi.LeaveCriticalSection(&FSection); }
