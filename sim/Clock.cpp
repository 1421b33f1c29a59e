#include "sim/Clock.h"

namespace sim {

TWallClock::TWallClock() : FStart(std::chrono::steady_clock::now()) {}

int64_t TWallClock::NowUs() const {
    auto elapsed = std::chrono::steady_clock::now() - FStart;
    return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
}

std::optional<int64_t> TWallClock::UsUntil(int64_t dueUs) const {
    const int64_t left = dueUs - NowUs();
    return left > 0 ? left : 0;
}

int64_t TSteppedClock::NowUs() const { return FNowUs.load(); }

std::optional<int64_t> TSteppedClock::UsUntil(int64_t dueUs) const {
    if (dueUs <= NowUs()) return 0;
    return std::nullopt;
}

void TSteppedClock::AdvanceMs(uint32_t ms) { AdvanceUs(int64_t(ms) * 1000); }

void TSteppedClock::AdvanceUs(int64_t us) {
    if (us > 0) FNowUs.fetch_add(us);
}

}  // namespace sim
