// Time sources for the simulated controller's motor model and its line's
// pace. The wall clock serves people and the console; the stepped clock only
// moves when a test advances it, so the model is fully deterministic.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace sim {

enum class EClockKind { Wall, Stepped };

class TClock {
public:
    virtual ~TClock() = default;
    // Microseconds since the clock was made; never goes back. Any thread.
    virtual int64_t NowUs() const = 0;
    // Real microseconds to sleep until the clock reads dueUs; nothing when
    // only a step can take it there. Any thread.
    virtual std::optional<int64_t> UsUntil(int64_t dueUs) const = 0;
};

class TWallClock final : public TClock {
public:
    TWallClock();
    int64_t NowUs() const override;
    std::optional<int64_t> UsUntil(int64_t dueUs) const override;

private:
    std::chrono::steady_clock::time_point FStart;
};

class TSteppedClock final : public TClock {
public:
    int64_t NowUs() const override;
    std::optional<int64_t> UsUntil(int64_t dueUs) const override;
    void AdvanceMs(uint32_t ms);
    void AdvanceUs(int64_t us);

private:
    std::atomic<int64_t> FNowUs{0};
};

}  // namespace sim
