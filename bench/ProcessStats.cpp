#include "bench/ProcessStats.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>
#include <unistd.h>

namespace bench {

namespace {

double Seconds(const timeval& tv) { return double(tv.tv_sec) + double(tv.tv_usec) * 1e-6; }

double ClockSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

}  // namespace

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

uint64_t ProcessSleeps() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return uint64_t(usage.ru_nvcsw);
}

double ThreadCpuSeconds() { return ClockSeconds(CLOCK_THREAD_CPUTIME_ID); }

double WallSeconds() { return ClockSeconds(CLOCK_MONOTONIC); }

size_t ResidentBytes() {
    // statm: total program size, then resident pages.
    FILE* file = std::fopen("/proc/self/statm", "r");
    if (!file) return 0;
    unsigned long size = 0, resident = 0;
    const bool read = std::fscanf(file, "%lu %lu", &size, &resident) == 2;
    std::fclose(file);
    return read ? size_t(resident) * size_t(sysconf(_SC_PAGESIZE)) : 0;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace bench
