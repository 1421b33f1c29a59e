#include "figures/StepFinder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace stepfig {

namespace {

// The last i in (first, end) where jump(i) holds; first when none does.
template <class Jump>
size_t LastJump(size_t first, size_t end, const Jump& jump) {
    for (size_t i = end; i > first + 1; --i)
        if (jump(i - 1)) return i - 1;
    return first;
}

template <class Jump>
std::optional<TJumpRun> LastRun(TIndexRange range, const Jump& jump) {
    if (range.Size() < 2) return std::nullopt;
    TJumpRun run;
    run.Last = LastJump(range.Begin, range.End, jump);
    if (run.Last == range.Begin) return std::nullopt;
    run.First = run.Last;
    while (run.First > range.Begin + 1 && jump(run.First - 1)) --run.First;
    run.Quiet = LastJump(range.Begin, run.First, jump);
    return run;
}

// Median of the values, which it reorders.
double Median(std::vector<double>& values) {
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

TIndexRange IndexRange(std::span<const double> keys, double from, double to) {
    const auto begin = std::lower_bound(keys.begin(), keys.end(), from);
    const auto end = std::upper_bound(begin, keys.end(), to);
    return {size_t(begin - keys.begin()), size_t(end - keys.begin())};
}

std::optional<TJumpRun> LastCommandChange(std::span<const double> command, TIndexRange range,
                                          double threshold) {
    return LastRun(range,
                   [&](size_t i) { return std::fabs(command[i] - command[i - 1]) > threshold; });
}

std::optional<TJumpRun> LastJumpFromZero(std::span<const double> values, TIndexRange range,
                                         double threshold) {
    return LastRun(range, [&](size_t i) {
        return std::fabs(values[i]) - std::fabs(values[i - 1]) > threshold;
    });
}

size_t LargestMagnitudeAt(std::span<const double> values, TIndexRange range) {
    size_t at = range.Begin;
    for (size_t i = range.Begin; i < range.End; ++i)
        if (std::fabs(values[i]) > std::fabs(values[at])) at = i;
    return at;
}

double NoiseDeviation(std::span<const double> values, TIndexRange range) {
    if (range.Size() < 3) return 0;
    std::vector<double> differences;
    differences.reserve(range.Size() - 1);
    for (size_t i = range.Begin + 1; i < range.End; ++i)
        differences.push_back(values[i] - values[i - 1]);
    // Deviations from the median difference, so a steady slope is no noise.
    const double typical = Median(differences);
    for (double& d : differences) d = std::fabs(d - typical);
    // 1.4826 x MAD estimates a normal deviation; a difference of two
    // independent samples has sqrt(2) times the deviation of one.
    return 1.4826 * Median(differences) / std::sqrt(2.0);
}

}  // namespace stepfig
