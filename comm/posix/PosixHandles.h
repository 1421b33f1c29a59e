// Handles of the Linux provider: reference-counted objects behind numbers that
// are never reused, so a released handle fails every later call with
// ERROR_INVALID_HANDLE even when the file descriptor behind it is reused.
#pragma once

#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <unordered_map>

#include "comm/CommApi.h"

namespace commapi::posix {

enum class TObjectKind { Device, Event };

class TKernelObject {
public:
    virtual ~TKernelObject() = default;
    virtual TObjectKind Kind() const = 0;
    // The handle was closed; callers still inside an operation keep the object alive.
    virtual void Released() {}
};

class THandleTable {
public:
    HANDLE Insert(std::shared_ptr<TKernelObject> object);

    template <class T>
    std::shared_ptr<T> Lookup(HANDLE handle) const {
        // Told apart by kind: a dynamic cast compares type names across
        // libraries, and every call of the interface looks a handle up.
        std::shared_ptr<TKernelObject> object = Find(handle);
        if (!object || object->Kind() != T::KindOf) return nullptr;
        return std::static_pointer_cast<T>(std::move(object));
    }

    // Removes the handle and tells its object, under the table's lock: when this
    // returns, no later lookup can reach the object and its release is complete.
    bool Release(HANDLE handle);

private:
    std::shared_ptr<TKernelObject> Find(HANDLE handle) const;

    // Every call looks a handle up, from both threads at once: lookups share it.
    mutable std::shared_mutex FMutex;
    std::unordered_map<uintptr_t, std::shared_ptr<TKernelObject>> FObjects;
    uintptr_t FNext = 0x100;
};

}  // namespace commapi::posix
