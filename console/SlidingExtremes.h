// Minimum and maximum of a window of values that grows at the back and
// shrinks at the front, in amortised constant time per step (two monotonic
// queues), so a live chart can follow its points without scanning them.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

class TSlidingExtremes {
public:
    struct TRange {
        double min;
        double max;
    };
    // Where the extremes lie, counted from the oldest value held (0).
    struct TPlaces {
        int64_t min;
        int64_t max;
    };

    void Push(double value);
    // Drops the oldest value; does nothing when empty.
    void PopFront();
    void Clear();
    int64_t Count() const { return FBack - FFront; }
    std::optional<TRange> Range() const;
    std::optional<TPlaces> Places() const;

private:
    struct TEntry {
        int64_t index;
        double value;
    };
    std::deque<TEntry> FMin;  // values increasing from front to back
    std::deque<TEntry> FMax;  // values decreasing from front to back
    int64_t FFront = 0;       // index of the oldest value held
    int64_t FBack = 0;        // index the next value gets
};
