#include "figures/StepFigures.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "figures/StepFinder.h"

namespace stepfig {

namespace {

constexpr double RiseLow = 0.1;
constexpr double RiseHigh = 0.9;
constexpr double WideBand = 0.05;
constexpr double TightBand = 0.02;
constexpr size_t MinTailSamples = 3;
// The band's edge belongs to it: a sample exactly on it (15.2 for a set-point
// of 16) must not fall out by the rounding of its share.
constexpr double BandSlack = 1e-9;
// Percentages kept to this many places, so a share on a round number reads as it.
constexpr double PercentGrain = 1e-9;

// The samples the figures read: those before the step back to the change
// before it (none outside the velocity mode), then the response.
struct TResponse {
    std::span<const double> Keys;
    std::span<const double> Values;
    size_t Step = 0;  // the first sample at the step's time
    double Time = 0;
    double From = 0;
    double To = 0;
    double Noise = 0;

    size_t Size() const { return Keys.size(); }
    double Height() const { return To - From; }
    // 0 at the level before the step, 1 at the commanded level.
    double Share(size_t i) const { return (Values[i] - From) / Height(); }
};

TFigure Ms(double value) { return {value, EFigureUnit::Milliseconds, EFigureLack::None}; }

TFigure Missing(TFigure figure, EFigureLack lack) {
    figure.Value = 0;
    figure.Lack = lack;
    return figure;
}

// Key where the share passes level between samples a and a + 1.
double CrossingKey(const TResponse& r, size_t a, double level) {
    const double from = r.Share(a), to = r.Share(a + 1);
    const double part = to == from ? 0 : (level - from) / (to - from);
    return r.Keys[a] + part * (r.Keys[a + 1] - r.Keys[a]);
}

// From the last sample under 10 % (the step's own or one before it) to the
// first at 90 % after the step.
TFigure RiseTime(const TResponse& r) {
    std::optional<size_t> low;
    for (size_t i = 0; i < r.Size(); ++i) {
        const double share = r.Share(i);
        if (share < RiseLow) {
            low = i;
        } else if (share >= RiseHigh && i >= r.Step) {
            if (!low) return Missing(Ms(0), EFigureLack::AlreadyMoving);
            return Ms(CrossingKey(r, i - 1, RiseHigh) - CrossingKey(r, *low, RiseLow));
        }
    }
    return Missing(Ms(0), EFigureLack::NeverReached);
}

// The first sample from which on every sample stays within the band of +-
// band around the set-point, edges included. A response still outside it in
// the record's last TailMs has not settled.
TFigure SettlingTime(const TResponse& r, double band) {
    auto outside = [&](size_t i) { return std::fabs(r.Share(i) - 1) > band + BandSlack; };
    size_t inside = r.Size();  // first sample of the final stretch inside
    while (inside > 0 && !outside(inside - 1)) --inside;
    if (inside == r.Size() || (inside > 0 && r.Keys[inside - 1] >= r.Keys.back() - TailMs))
        return Missing(Ms(0), EFigureLack::NeverSettled);
    if (inside == 0) return Ms(0);
    return Ms(std::max(0.0, r.Keys[inside] - r.Time));
}

double Mean(std::span<const double> values) {
    double sum = 0;
    for (double v : values) sum += v;
    return sum / double(values.size());
}

double Percent(double share) { return std::round(100 * share / PercentGrain) * PercentGrain; }

// Overshoot and peak time from the sample furthest beyond the set-point,
// as a share of the step: never against where the response ends.
void SetPeak(const TResponse& r, const TFigureOptions& options, TStepFigures& f) {
    size_t peak = r.Step;
    for (size_t i = r.Step; i < r.Size(); ++i)
        if (r.Share(i) > r.Share(peak)) peak = i;
    const double beyond = r.Share(peak) - 1;
    // The largest of many noisy samples lies above the level even without an overshoot.
    if (beyond <= options.OvershootNoise * r.Noise / std::fabs(r.Height()) + BandSlack) {
        f.Overshoot.Value = 0;
        f.PeakTime = Missing(f.PeakTime, EFigureLack::NoOvershoot);
        return;
    }
    f.Overshoot.Value = Percent(beyond);
    f.PeakTime = Ms(r.Keys[peak] - r.Time);
}

// The set-point minus the mean of the record's last TailMs (at least its
// last sample).
TFigure SteadyError(const TResponse& r) {
    const auto tail = std::find_if(r.Keys.begin(), r.Keys.end(),
                                   [&r](double key) { return key >= r.Keys.back() - TailMs; });
    const size_t first = std::min(size_t(tail - r.Keys.begin()), r.Size() - 1);
    return {r.To - Mean(r.Values.subspan(first)), EFigureUnit::SeriesUnit, EFigureLack::None};
}

TStepFigures Refused(TStepFigures f, EFigureLack lack) {
    f.StepLack = lack;
    for (TFigure* figure :
         {&f.RiseTime, &f.Overshoot, &f.Settling5, &f.Settling2, &f.SteadyError, &f.PeakTime})
        *figure = Missing(*figure, lack);
    return f;
}

TStepFigures Described(const TResponse& r) {
    TStepFigures f;
    f.StepTime = r.Time;
    f.From = r.From;
    f.To = r.To;
    f.Noise = r.Noise;
    return f;
}

TStepFigures Figures(const TResponse& r, size_t samplesBefore, const TFigureOptions& options) {
    TStepFigures f = Described(r);
    if (samplesBefore < options.MinSamplesBefore) return Refused(f, EFigureLack::FewBefore);
    if (!(std::fabs(r.Height()) > options.NoiseFactor * r.Noise))
        return Refused(f, EFigureLack::StepInNoise);
    if (r.Size() - r.Step < std::max(options.MinSamplesAfter, 2 * MinTailSamples))
        return Refused(f, EFigureLack::FewAfter);
    f.RiseTime = RiseTime(r);
    SetPeak(r, options, f);
    f.Settling5 = SettlingTime(r, WideBand);
    f.Settling2 = SettlingTime(r, TightBand);
    f.SteadyError = SteadyError(r);
    return f;
}

// The samples from first to the range's end.
TResponse ResponseFrom(std::span<const double> keys, std::span<const double> values, size_t first,
                       TIndexRange range) {
    TResponse r;
    r.Keys = keys.subspan(first, range.End - first);
    r.Values = values.subspan(first, range.End - first);
    return r;
}

}  // namespace

TStepFigures Lacking(EFigureLack lack) { return Refused({}, lack); }

TStepFigures VelocityStepFigures(std::span<const double> keys, std::span<const double> actual,
                                 std::span<const double> command, double from, double to,
                                 const TFigureOptions& options) {
    const size_t n = std::min({keys.size(), actual.size(), command.size()});
    const TIndexRange range = IndexRange(keys.first(n), from, to);
    const auto run = LastCommandChange(command, range, options.CommandThreshold);
    if (!run) return Refused({}, EFigureLack::NoStep);
    // The samples before the step anchor the 10 % crossing of a quick or noisy response.
    TResponse r = ResponseFrom(keys, actual, run->Quiet, range);
    r.Step = run->First - run->Quiet;
    r.Time = keys[run->First];
    r.From = command[run->First - 1];
    r.To = command[run->Last];
    r.Noise = NoiseDeviation(actual, {run->Quiet, run->First});
    if (run->Length() > options.MaxStepSamples) return Refused(Described(r), EFigureLack::Ramp);
    return Figures(r, run->First - run->Quiet, options);
}

TStepFigures ZeroSettlingFigures(std::span<const double> keys, std::span<const double> values,
                                 double from, double to, const TFigureOptions& options) {
    const size_t n = std::min(keys.size(), values.size());
    const TIndexRange range = IndexRange(keys.first(n), from, to);
    if (range.Size() < 2) return Refused({}, EFigureLack::NoStep);
    const double largest = std::fabs(values[LargestMagnitudeAt(values, range)]);
    const double threshold = std::max(options.NoiseFactor * NoiseDeviation(values, range),
                                      options.MinJumpShare * largest);
    const auto run = LastJumpFromZero(values, range, threshold);
    if (!run) return Refused({}, EFigureLack::NoStep);
    const size_t jumpEnd = std::min(run->First + options.MaxStepSamples, range.End);
    const size_t peak = LargestMagnitudeAt(values, {run->First, jumpEnd});
    TResponse r = ResponseFrom(keys, values, peak, range);
    r.Time = keys[run->First];
    r.From = values[peak];
    r.To = 0;
    r.Noise = NoiseDeviation(values, {run->Quiet, run->First});
    return Figures(r, run->First - run->Quiet, options);
}

}  // namespace stepfig
