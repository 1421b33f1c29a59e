// The input queue of a device, kept in user space: a ring of fixed capacity.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace commapi::posix {

class TInputQueue {
public:
    explicit TInputQueue(size_t capacity) : FBuffer(capacity) {}

    size_t Count() const { return FCount; }
    size_t Capacity() const { return FBuffer.size(); }
    size_t Room() const { return FBuffer.size() - FCount; }
    void Clear() { FHead = FCount = 0; }

    // Appends what fits; returns how many bytes were taken.
    size_t Push(const uint8_t* data, size_t size) {
        const size_t n = std::min(size, Room());
        for (size_t done = 0; done < n;) {
            const size_t tail = (FHead + FCount) % FBuffer.size();
            const size_t chunk = std::min(n - done, FBuffer.size() - tail);
            std::memcpy(FBuffer.data() + tail, data + done, chunk);
            FCount += chunk;
            done += chunk;
        }
        return n;
    }

    // Moves up to `size` bytes out, oldest first; returns how many.
    size_t Take(uint8_t* out, size_t size) {
        const size_t n = std::min(size, FCount);
        for (size_t done = 0; done < n;) {
            const size_t chunk = std::min(n - done, FBuffer.size() - FHead);
            std::memcpy(out + done, FBuffer.data() + FHead, chunk);
            FHead = (FHead + chunk) % FBuffer.size();
            FCount -= chunk;
            done += chunk;
        }
        if (FCount == 0) FHead = 0;
        return n;
    }

    // A new capacity, keeping the queued bytes (never below their count).
    void Resize(size_t capacity) {
        std::vector<uint8_t> bytes(std::max(capacity, FCount));
        const size_t n = Take(bytes.data(), FCount);
        FBuffer.swap(bytes);
        FHead = 0;
        FCount = n;
    }

private:
    std::vector<uint8_t> FBuffer;
    size_t FHead = 0, FCount = 0;
};

}  // namespace commapi::posix
