#include "comm/posix/PosixHandles.h"

namespace commapi::posix {

HANDLE THandleTable::Insert(std::shared_ptr<TKernelObject> object) {
    std::lock_guard lock(FMutex);
    const uintptr_t id = FNext;
    FNext += 4;
    FObjects.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

bool THandleTable::Release(HANDLE handle) {
    std::lock_guard lock(FMutex);
    const auto it = FObjects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == FObjects.end()) return false;
    const std::shared_ptr<TKernelObject> object = std::move(it->second);
    FObjects.erase(it);
    object->Released();
    return true;
}

std::shared_ptr<TKernelObject> THandleTable::Find(HANDLE handle) const {
    std::shared_lock lock(FMutex);
    const auto it = FObjects.find(reinterpret_cast<uintptr_t>(handle));
    return it == FObjects.end() ? nullptr : it->second;
}

}  // namespace commapi::posix
