#include "Clock.h"

namespace sim {

TWallClock::TWallClock() : FStart(std::chrono::steady_clock::now()) {}

int64_t TWallClock::NowUs() const {
    auto elapsed = std::chrono::steady_clock::now() - FStart;
    return std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
}

int64_t TSteppedClock::NowUs() const { return FNowUs.load(); }

void TSteppedClock::AdvanceMs(uint32_t ms) { AdvanceUs(int64_t(ms) * 1000); }

void TSteppedClock::AdvanceUs(int64_t us) {
    if (us > 0) FNowUs.fetch_add(us);
}

}  // namespace sim
