#include "comm/posix/NetResolve.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "comm/posix/NetPatience.h"

namespace commapi::posix {

namespace {

// Shared by the caller and the lookup's thread; whoever is last frees it.
struct TLookupJob {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false, abandoned = false;
    int status = 0;
    addrinfo* result = nullptr;
};

addrinfo Hints(bool numeric) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    // No AI_ADDRCONFIG: on a machine with only the loopback it hides "localhost".
    hints.ai_flags = AI_NUMERICSERV | (numeric ? AI_NUMERICHOST : 0);
    return hints;
}

DWORD LookupError(int status) {
    switch (status) {
    case 0: return ERROR_SUCCESS;
    case EAI_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    case EAI_SYSTEM: return ERROR_GEN_FAILURE;
    default: return ERROR_BAD_NET_NAME;  // no such name, no address, no answer
    }
}

TResolved Collect(const addrinfo* list) {
    TResolved resolved;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        TSocketAddress address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        address.family = a->ai_family;
        resolved.addresses.push_back(address);
    }
    if (resolved.addresses.empty()) resolved.error = ERROR_BAD_NET_NAME;
    return resolved;
}

// Runs on the lookup's own thread.
void RunLookup(const std::shared_ptr<TLookupJob>& job, const std::string& host, const std::string& service,
               TLookup lookup, TFreeLookup release) {
    const addrinfo hints = Hints(false);
    addrinfo* result = nullptr;
    const int status = lookup(host.c_str(), service.c_str(), &hints, &result);
    std::lock_guard lock(job->mutex);
    if (job->abandoned) {
        if (result) release(result);
        return;
    }
    job->status = status;
    job->result = result;
    job->finished = true;
    job->done.notify_one();
}

TResolved LookUpName(const std::string& host, const std::string& service,
                     std::chrono::steady_clock::time_point deadline, TLookup lookup, TFreeLookup release) {
    auto job = std::make_shared<TLookupJob>();
    try {
        std::thread(RunLookup, job, host, service, lookup, release).detach();
    } catch (const std::system_error&) {
        return {{}, ERROR_NOT_ENOUGH_MEMORY};
    }
    std::unique_lock lock(job->mutex);
    const auto finished = [&job] { return job->finished; };
    for (;;) {
        const auto slice = std::chrono::steady_clock::now() + std::chrono::milliseconds(PatienceSliceMs);
        if (job->done.wait_until(lock, std::min(slice, deadline), finished)) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            job->abandoned = true;
            return {{}, ERROR_SEM_TIMEOUT};
        }
        lock.unlock();  // the lookup may finish meanwhile
        BePatient();
        lock.lock();
    }
    TResolved resolved = job->status == 0 ? Collect(job->result) : TResolved{{}, LookupError(job->status)};
    if (job->result) release(job->result);
    return resolved;
}

}  // namespace

TResolved Resolve(const std::string& host, uint16_t port, std::chrono::steady_clock::time_point deadline) {
    return Resolve(host, port, deadline, ::getaddrinfo, ::freeaddrinfo);
}

TResolved Resolve(const std::string& host, uint16_t port, std::chrono::steady_clock::time_point deadline,
                  TLookup lookup, TFreeLookup release) {
    const std::string service = std::to_string(port);
    // A numeric address needs no resolver: converted here, at once.
    const addrinfo hints = Hints(true);
    addrinfo* result = nullptr;
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &result) == 0) {
        TResolved resolved = Collect(result);
        ::freeaddrinfo(result);
        return resolved;
    }
    return LookUpName(host, service, deadline, lookup, release);
}

}  // namespace commapi::posix
