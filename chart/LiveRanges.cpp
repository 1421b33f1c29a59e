#include "chart/LiveRanges.h"

#include <algorithm>
#include <cmath>

namespace liveranges {

namespace {

constexpr double GrainsPerSpan = 20;
// A kept range may grow this much wider than a fresh one before it is renewed.
constexpr double LooseKeys = 1.25;
// Free room ahead of a growing history, as a share of its span.
constexpr double GrowingRoom = 0.25;
constexpr double LooseValues = 1.5;
// Visible margin around the values so a flat line does not sit on the frame.
constexpr double ValueMargin = 0.05;

double Down(double value, double grain) { return std::floor(value / grain) * grain; }

bool Holds(const QCPRange& range, double lower, double upper) {
    return range.lower <= lower && upper <= range.upper;
}

}  // namespace

double Grain(double span) {
    const double least = span / GrainsPerSpan;
    const double power = std::pow(10.0, std::floor(std::log10(least)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * power >= least) return step * power;
    return 10.0 * power;
}

QCPRange Keys(const std::optional<QCPRange>& kept, double first, double last, bool growing) {
    const double span = last - first;
    if (!(span > 0)) return QCPRange(first - 1, last + 1);  // one key: nothing to scale by yet
    const double room = growing ? span * GrowingRoom : 0.0;
    const bool holds = kept && Holds(*kept, first, last) && last < kept->upper;
    // A fresh range is never narrower than what it must hold: a kept range
    // within the looseness of that needs no fresh one worked out (per sample).
    if (holds && kept->size() <= (span + room) * LooseKeys) return *kept;
    const double grain = Grain(span);
    const QCPRange fresh(Down(first, grain), Down(last + room, grain) + grain);
    if (holds && kept->size() <= fresh.size() * LooseKeys) return *kept;
    return fresh;
}

QCPRange Values(const std::optional<QCPRange>& kept, double min, double max) {
    const double span = max - min;
    const double pad = span > 0 ? span * ValueMargin : std::max(std::fabs(max) * ValueMargin, 1.0);
    const double lower = min - pad, upper = max + pad;
    const bool holds = kept && Holds(*kept, lower, upper);
    if (holds && kept->size() <= (upper - lower) * LooseValues) return *kept;
    const double grain = Grain(upper - lower);
    const QCPRange fresh(Down(lower, grain), -Down(-upper, grain));
    if (holds && kept->size() <= fresh.size() * LooseValues) return *kept;
    return fresh;
}

}  // namespace liveranges
