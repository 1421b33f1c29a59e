#include "record/SampleKeys.h"

#include <algorithm>

void TSampleKeys::Push(double key) {
    const int64_t index = FFront + Count();
    if (index % Block == 0 || FBases.empty()) FBases.push_back(key);
    FOffsets.push_back(float(key - FBases.back()));
}

void TSampleKeys::PopFront() {
    if (FOffsets.empty()) return;
    FOffsets.pop_front();
    ++FFront;
    if (FFront % Block == 0 && !FBases.empty()) FBases.pop_front();
}

void TSampleKeys::Clear() {
    FOffsets.clear();
    FBases.clear();
    FFront = 0;
}

int64_t TSampleKeys::Bisect(double key, int64_t lo, int64_t hi) const {
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (At(mid) < key) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

int64_t TSampleKeys::LowerIndex(double key) const { return Bisect(key, 0, Count()); }

// Widens a bracket around the guess by doubling steps, then bisects it.
int64_t TSampleKeys::LowerIndex(double key, int64_t guess) const {
    const int64_t n = Count();
    guess = std::clamp<int64_t>(guess, 0, n);
    int64_t lo = guess, hi = guess, step = 1;
    while (lo > 0 && At(lo - 1) >= key) {
        hi = lo - 1;
        lo = std::max<int64_t>(lo - step, 0);
        step *= 2;
    }
    while (hi < n && At(hi) < key) {
        lo = hi + 1;
        hi = std::min(hi + step, n);
        step *= 2;
    }
    return Bisect(key, lo, hi);
}
