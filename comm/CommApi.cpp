// The process-wide provider and what every provider shares.
#include "comm/CommApi.h"

#include <atomic>

namespace commapi {

namespace {

thread_local DWORD tLastError = ERROR_SUCCESS;
std::atomic<TCommApi*> gCurrent{nullptr};

}  // namespace

DWORD TCommApi::GetLastError() { return tLastError; }
void TCommApi::SetLastError(DWORD code) { tLastError = code; }

void TCommApi::InitializeCriticalSection(CRITICAL_SECTION*) {}
void TCommApi::EnterCriticalSection(CRITICAL_SECTION* section) { section->Mutex.lock(); }
void TCommApi::LeaveCriticalSection(CRITICAL_SECTION* section) { section->Mutex.unlock(); }
void TCommApi::DeleteCriticalSection(CRITICAL_SECTION*) {}

TCommApi& Current() {
    TCommApi* api = gCurrent.load(std::memory_order_acquire);
    return api ? *api : LinuxProvider();
}

void SetCurrent(TCommApi* api) { gCurrent.store(api, std::memory_order_release); }

}  // namespace commapi
