// What the benchmarks read about their own process: CPU time, resident
// memory, and a median of repeated measurements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// User plus system CPU seconds of the whole process, every thread included.
double ProcessCpuSeconds();
// Times any thread of this process went to sleep until woken (voluntary
// context switches), every thread included.
uint64_t ProcessSleeps();
// CPU seconds of the calling thread only.
double ThreadCpuSeconds();
// Seconds of a monotonic wall clock.
double WallSeconds();
// Resident set size of this process in bytes (0 when it cannot be read).
size_t ResidentBytes();
// Median of the values (0 for none); the middle two averaged for an even count.
double Median(std::vector<double> values);

constexpr double MiB = 1024.0 * 1024.0;

}  // namespace bench
