#include "record/ValuePyramid.h"

#include <algorithm>
#include <limits>

void TValuePyramid::Push(double value) {
    const int64_t index = FFront + Count();
    const auto v = float(value);
    FValues.push_back(v);
    int64_t run = Fan;
    for (TRing<TSpan>& level : FRuns) {
        if (index % run == 0 || level.empty()) {
            level.push_back({v, v});
        } else {
            TSpan& last = level.back();
            last.min = std::min(last.min, v);
            last.max = std::max(last.max, v);
        }
        run *= Fan;
    }
}

void TValuePyramid::PopFront() {
    if (FValues.empty()) return;
    FValues.pop_front();
    ++FFront;
    int64_t run = Fan;
    for (TRing<TSpan>& level : FRuns) {
        // The oldest run has lost its last value.
        if (FFront % run == 0 && !level.empty()) level.pop_front();
        run *= Fan;
    }
}

void TValuePyramid::Clear() {
    FValues.clear();
    for (TRing<TSpan>& level : FRuns) level.clear();
    FFront = 0;
}

namespace {

using TSpan = TValuePyramid::TSpan;

float Low(float v) { return v; }
float High(float v) { return v; }
float Low(const TSpan& s) { return s.min; }
float High(const TSpan& s) { return s.max; }

// Widens [lo, hi] by the items [a, b) of a level whose first item has the
// running number first.
template <class Items>
void Take(const Items& items, int64_t first, int64_t a, int64_t b, float& lo, float& hi) {
    if (a >= b) return;
    // Kept in registers: lo and hi could alias the items, and a store per
    // item would chain every step to the one before through memory.
    float l = lo, h = hi;
    items.ForRuns(size_t(a - first), size_t(b - first), [&l, &h](const auto* it, const auto* end) {
        float runLow = l, runHigh = h;
        for (; it < end; ++it) {
            runLow = std::min(runLow, Low(*it));
            runHigh = std::max(runHigh, High(*it));
        }
        l = runLow;
        h = runHigh;
    });
    lo = l;
    hi = h;
}

// Takes the items of [a, b) that do not fill a whole item of the level above
// (all of them on the top level), and leaves [a, b) as the rest in that
// level's numbers.
template <class Items>
void TakeEnds(const Items& items, int64_t first, bool all, int64_t& a, int64_t& b, float& lo, float& hi) {
    const int64_t fan = TValuePyramid::Fan;
    const int64_t head = all ? b : std::min(b, (a + fan - 1) / fan * fan);
    Take(items, first, a, head, lo, hi);
    const int64_t tail = std::max(head, b / fan * fan);
    Take(items, first, tail, b, lo, hi);
    a = head / fan;
    b = tail / fan;
}

}  // namespace

// Peels the unaligned ends off each level and takes the aligned middle from
// the level above, so every level reads at most 2 * (Fan - 1) items.
std::optional<TValueRange> TValuePyramid::Extremes(int64_t from, int64_t to) const {
    from = std::max<int64_t>(from, 0);
    to = std::min(to, Count());
    if (from >= to) return std::nullopt;
    float lo = std::numeric_limits<float>::infinity();
    float hi = -lo;
    int64_t a = FFront + from, b = FFront + to;
    TakeEnds(FValues, FFront, false, a, b, lo, hi);
    int64_t run = Fan;
    for (size_t level = 0; level < FRuns.size() && a < b; ++level, run *= Fan)
        TakeEnds(FRuns[level], FFront / run, level + 1 == FRuns.size(), a, b, lo, hi);
    return TValueRange{double(lo), double(hi)};
}

