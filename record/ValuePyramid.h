// The values of one series, oldest first, in a window that grows at the back
// and shrinks at the front. Each value is kept in single precision (far finer
// than a pixel of any chart) and the lowest and highest of every aligned run
// of 16, 256, ... values are kept beside them, so the extremes of any part of
// the window take a few dozen reads however long the part is, and adding or
// dropping a value costs a few steps. Main thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "record/Ring.h"

struct TValueRange {
    double min;
    double max;
};

class TValuePyramid {
public:
    void Push(double value);
    // Drops the oldest value; nothing when empty.
    void PopFront();
    void Clear();
    int64_t Count() const { return int64_t(FValues.size()); }
    // Value i, 0 the oldest.
    double At(int64_t i) const { return double(FValues[size_t(i)]); }
    // Lowest and highest of the values [from, to); none when the part is empty.
    std::optional<TValueRange> Extremes(int64_t from, int64_t to) const;

    // Values per run of the first level, and runs per run of the next.
    static constexpr int64_t Fan = 16;
    struct TSpan {
        float min;
        float max;
    };

private:
    static constexpr int Levels = 5;  // runs of 16 up to 16^5 values
    TRing<float> FValues;
    // Level k holds the runs of Fan^(k+1) values aligned to the running
    // numbers, from the run holding the oldest value to the newest; the
    // oldest run may still cover values already dropped, but a query only
    // reads runs that lie wholly inside the window.
    std::array<TRing<TSpan>, Levels> FRuns;
    int64_t FFront = 0;  // running number of the oldest value
};
