// Where the last step of a recorded stretch lies, and how noisy the record is
// around it. Plain C++, no Qt; every function takes time linear in the
// samples it looks at (a binary search for the range).
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace stepfig {

// Samples [Begin, End) of a record.
struct TIndexRange {
    size_t Begin = 0;
    size_t End = 0;
    size_t Size() const { return End - Begin; }
};

// The samples whose keys lie in [from, to]; keys must not decrease.
TIndexRange IndexRange(std::span<const double> keys, double from, double to);

// A run of consecutive jumps, as indices of the record. A jump at i is a
// change between samples i-1 and i.
struct TJumpRun {
    size_t Quiet = 0;  // the last jump before the run (the range's first sample when none)
    size_t First = 0;  // the run's first jump: the first sample off the old level
    size_t Last = 0;   // the run's last jump
    size_t Length() const { return Last - First + 1; }
};

// The last run of command changes in range: consecutive samples that each
// differ from the one before by more than threshold. A bar moved over two or
// three samples is one such run; the step goes from the level before First
// to the level at Last, where the command settles.
std::optional<TJumpRun> LastCommandChange(std::span<const double> command, TIndexRange range,
                                          double threshold);

// The last run of jumps away from zero in range: consecutive samples whose
// magnitude grows by more than threshold over the one before. A value that
// only settles towards zero (or swings through it gradually) makes none.
std::optional<TJumpRun> LastJumpFromZero(std::span<const double> values, TIndexRange range,
                                         double threshold);

// The sample of largest magnitude in range (range.Begin when it is empty).
size_t LargestMagnitudeAt(std::span<const double> values, TIndexRange range);

// Standard deviation of the noise on the samples of range, from the median
// absolute deviation of the differences between consecutive samples: a slow
// drift and a few jumps do not count as noise. 0 with fewer than 3 samples.
double NoiseDeviation(std::span<const double> values, TIndexRange range);

}  // namespace stepfig
