// Step-response figures of a recorded measurement: rise time, overshoot,
// settling times, steady-state error and peak time for the last step in a
// range of the record. Plain C++, no Qt and no texts: the window names the
// figures, their units and the reasons a figure is missing.
//
// The velocity mode: the step is the command's last change in range (see
// LastCommandChange: changes on up to MaxStepSamples consecutive samples make
// one step), from the command's level before it to the level where it
// settles; the figures describe the actual velocity from the step on.
// Other modes (and the velocity error in per cent): the step is the value's
// last jump away from zero in range; the response starts at the jump's peak
// and its target is 0.
//
// Levels are taken as shares of the step, 0 at the level before and 1 at the
// commanded level after it; crossing times are interpolated linearly between
// samples. Every figure uses only the samples in range; the time is linear in
// their number.
#pragma once

#include <cstddef>
#include <span>

namespace stepfig {

// Why a figure is missing.
enum class EFigureLack {
    None,
    NoStep,         // the command does not change in range (the value never jumps)
    NotVelocity,    // the command is a duty or a torque: there is no set-point to judge against
    Ramp,           // the command's last change spreads over more than MaxStepSamples samples
    FewBefore,      // fewer than MinSamplesBefore samples before the step to judge the noise
    StepInNoise,    // the step is not larger than NoiseFactor times the noise before it
    FewAfter,       // fewer than MinSamplesAfter samples from the step on
    AlreadyMoving,  // rise: the response was past 10 % of the step when it came
    NeverReached,   // rise: the response never reaches 90 % of the step
    NeverSettled,   // settling: outside the band at the record's end
    NoOvershoot,    // peak time: the response never goes beyond the commanded and final levels
};

enum class EFigureUnit {
    Milliseconds,  // from the step's time (rise: between its two crossings)
    PercentOfStep,
    SeriesUnit,  // the unit of the analysed series
};

struct TFigure {
    double Value = 0;  // meaningful only when available
    EFigureUnit Unit = EFigureUnit::Milliseconds;
    EFigureLack Lack = EFigureLack::None;
    bool Available() const { return Lack == EFigureLack::None; }
};

struct TStepFigures {
    // None when the step was found and accepted; else every figure lacks for it.
    EFigureLack StepLack = EFigureLack::None;
    double StepTime = 0;  // ms: key of the first sample off the old level
    double From = 0;      // level before the step (the jump's peak outside the velocity mode)
    double To = 0;        // level commanded after it (0 outside the velocity mode)
    double Noise = 0;     // deviation of the noise before the step, series unit

    TFigure RiseTime{};  // 10 % to 90 % of the step
    // Furthest beyond To, the set-point, as a share of the step; 0 when not
    // beyond by more than OvershootNoise times the noise.
    TFigure Overshoot{0, EFigureUnit::PercentOfStep};
    // From the step to the first sample after which every sample stays within
    // To +- 5 % of the step, edges included; missing (NeverSettled) while a
    // sample of the record's last TailMs is outside.
    TFigure Settling5{};
    TFigure Settling2{};  // the same for +- 2 %
    // To minus the mean of the record's last TailMs.
    TFigure SteadyError{0, EFigureUnit::SeriesUnit};
    TFigure PeakTime{};  // to the sample of the overshoot; missing when there is none
};

// Every figure missing for the same reason.
TStepFigures Lacking(EFigureLack lack);

// The record's end that decides whether the response settled and what it settled to.
constexpr double TailMs = 100;

struct TFigureOptions {
    double CommandThreshold = 0;  // a command change must be larger (series unit)
    size_t MaxStepSamples = 3;    // consecutive changes that still make one step
    double NoiseFactor = 5;       // a step must exceed this many noise deviations
    double OvershootNoise = 4;    // an overshoot must exceed this many noise deviations
    // A jump from zero takes at least this share of the largest magnitude in range.
    double MinJumpShare = 0.2;
    size_t MinSamplesBefore = 5;
    size_t MinSamplesAfter = 10;
};

// The velocity mode. keys: ms, not decreasing; actual and command: the same
// samples (a longer span's extra samples are not read). Range [from, to] in keys.
TStepFigures VelocityStepFigures(std::span<const double> keys, std::span<const double> actual,
                                 std::span<const double> command, double from, double to,
                                 const TFigureOptions& options = {});

// A value that settles to zero after a jump: the position mismatch, or the
// velocity error in per cent. A jump is a growth of the magnitude between
// consecutive samples by more than NoiseFactor times the noise of the range
// and by at least MinJumpShare of the largest magnitude in range.
TStepFigures ZeroSettlingFigures(std::span<const double> keys, std::span<const double> values,
                                 double from, double to, const TFigureOptions& options = {});

}  // namespace stepfig
