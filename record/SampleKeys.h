// The keys of one series, oldest first, in a window that grows at the back
// and shrinks at the front. Each key is kept as a single-precision offset
// from the first key of its block of 32, so whole-number keys (the chart's
// milliseconds) come back exactly while a key takes 4 bytes and a quarter.
// Keys must not decrease. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "record/Ring.h"

class TSampleKeys {
public:
    void Push(double key);
    // Drops the oldest key; nothing when empty.
    void PopFront();
    void Clear();
    int64_t Count() const { return int64_t(FOffsets.size()); }
    // Key i, 0 the oldest.
    double At(int64_t i) const {
        const int64_t index = FFront + i;
        return FBases[size_t(index / Block - FFront / Block)] + double(FOffsets[size_t(i)]);
    }
    // The first key not below key (Count() when none).
    int64_t LowerIndex(double key) const;
    // The same, searched outward from guess first: a few reads when the
    // guess is close, as when stepping along evenly spaced keys.
    int64_t LowerIndex(double key, int64_t guess) const;

private:
    // The first key not below key in [lo, hi), all keys before lo below it.
    int64_t Bisect(double key, int64_t lo, int64_t hi) const;

    // Whole numbers up to 2^24 apart are exact as offsets: 32 samples of a
    // 16-bit tick counter at 5 ms a tick span at most 10,485,600.
    static constexpr int64_t Block = 32;

    TRing<float> FOffsets;
    TRing<double> FBases;  // first key of each block, from the oldest key's block on
    int64_t FFront = 0;         // running number of the oldest key
};
