// Step-response figures against closed forms: first and second order steps,
// noisy records, refusals and missing figures, several steps in a record, and
// a value settling to zero after a jump.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "figures/StepFigures.h"
#include "tests/console/StepRecords.h"

namespace {

using stepfig::EFigureLack;
using stepfig::TFigure;
using stepfig::TStepFigures;
using namespace steprec;

const double Ln9 = std::log(9.0), Ln20 = std::log(20.0), Ln50 = std::log(50.0);
// Linear interpolation between samples is far better than a sample.
constexpr double Interpolated = 0.2 * Period;

void ExpectFigure(const TFigure& figure, double expected, double tolerance) {
    EXPECT_EQ(figure.Lack, EFigureLack::None);
    EXPECT_NEAR(figure.Value, expected, tolerance);
}

// A settling time is the first sample's after the response's last crossing
// out of the band: up to one sample after the crossing.
void ExpectSettling(const TFigure& figure, double crossing) {
    ExpectFigure(figure, crossing + Period / 2, Period / 2 + 1e-9);
}

void ExpectNoOvershoot(const TStepFigures& f) {
    ExpectFigure(f.Overshoot, 0, 0);
    EXPECT_EQ(f.PeakTime.Lack, EFigureLack::NoOvershoot);
}

// Noise moves a settling time to between those of the band widened and
// narrowed by 5 deviations (spread: as a share of the step); without noise
// only interpolation separates it from the reference.
void ExpectNoisySettling(const TFigure& figure, const TShape& shape, double band, double spread) {
    const double margin = spread > 0 ? Period : 0;
    const double early = LastOutside(shape, band + spread, 3000) - margin;
    const double late = LastOutside(shape, band - spread, 3000) + margin + Period;
    ExpectFigure(figure, (early + late) / 2, (late - early) / 2);
}

struct TFirstOrderCase {
    const char* Name;
    double From, To, Tau, StepAt;
};

class FirstOrderStep : public testing::TestWithParam<TFirstOrderCase> {};

TEST_P(FirstOrderStep, GivesTheClosedForms) {
    const TFirstOrderCase c = GetParam();
    const TStepFigures f =
        StepRecord(c.From, c.To, FirstOrder(c.Tau), c.StepAt).Velocity(-500, 3000);
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    // The step shows at the first sample after it; settling counts from there.
    const double late = std::ceil(c.StepAt / Period) * Period - c.StepAt;
    EXPECT_EQ(f.StepTime, c.StepAt + late);
    EXPECT_EQ(f.From, c.From);
    EXPECT_EQ(f.To, c.To);
    ExpectFigure(f.RiseTime, c.Tau * Ln9, Interpolated);
    ExpectSettling(f.Settling5, c.Tau * Ln20 - late);
    ExpectSettling(f.Settling2, c.Tau * Ln50 - late);
    ExpectNoOvershoot(f);
    ExpectFigure(f.SteadyError, 0, 1e-4 * std::fabs(c.To - c.From));
}

INSTANTIATE_TEST_SUITE_P(StepFigures, FirstOrderStep,
                         testing::Values(TFirstOrderCase{"Up", 0, 100, 50, 0},
                                         TFirstOrderCase{"Down", 10, -30, 30, 0},
                                         TFirstOrderCase{"Slow", 0, 2.5, 200, 0},
                                         TFirstOrderCase{"Fast", -500, 500, 12, 0},
                                         TFirstOrderCase{"BetweenSamples", 0, 100, 40, 2.5}),
                         [](const auto& test) { return std::string(test.param.Name); });

struct TSecondOrderCase {
    double Zeta, Omega;  // rad/ms
};

class SecondOrderStep : public testing::TestWithParam<TSecondOrderCase> {};

TEST_P(SecondOrderStep, GivesTheClosedFormsAndTheReferenceTimes) {
    const TSecondOrderCase c = GetParam();
    const TShape shape = SecondOrder(c.Zeta, c.Omega);
    const TStepFigures f = StepRecord(20, 120, shape).Velocity(-500, 3000);
    ASSERT_EQ(f.StepLack, EFigureLack::None);

    const double root = std::sqrt(1 - c.Zeta * c.Zeta);
    const double peakTime = std::numbers::pi / (c.Omega * root);
    const double overshoot = 100 * std::exp(-c.Zeta * std::numbers::pi / root);
    // The highest sample lies within half a sample of the true peak.
    const double lowest =
        100 * (std::min(shape(peakTime - Period / 2), shape(peakTime + Period / 2)) - 1);
    ExpectFigure(f.Overshoot, (overshoot + lowest) / 2, (overshoot - lowest) / 2 + 1e-9);
    ExpectFigure(f.PeakTime, peakTime, Period / 2);
    ExpectFigure(f.RiseTime, FirstReach(shape, 0.9) - FirstReach(shape, 0.1), Interpolated);
    ExpectSettling(f.Settling5, LastOutside(shape, 0.05, 3000));
    ExpectSettling(f.Settling2, LastOutside(shape, 0.02, 3000));
    ExpectFigure(f.SteadyError, 0, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(StepFigures, SecondOrderStep,
                         testing::Values(TSecondOrderCase{0.2, 0.05}, TSecondOrderCase{0.5, 0.02},
                                         TSecondOrderCase{0.7, 0.03}, TSecondOrderCase{0.35, 0.08}),
                         [](const auto& test) {
                             return "zeta" + std::to_string(int(test.param.Zeta * 100)) + "_omega" +
                                    std::to_string(int(test.param.Omega * 1000));
                         });

struct TNoisyCase {
    const char* Name;
    TShape Shape;
    double Deviation;
    uint64_t Seed;
};

class NoisyStep : public testing::TestWithParam<TNoisyCase> {};

// Noise moves a crossing by about deviation / slope.
TEST_P(NoisyStep, StaysWithinTheNoiseOfTheCleanFigures) {
    const TNoisyCase c = GetParam();
    TRecord record = StepRecord(0, 100, c.Shape, 0, 3000, -1000);
    AddNoise(record.Actual, c.Deviation, c.Seed);
    const TStepFigures f = record.Velocity(-1000, 3000);
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_GT(f.Noise, 0.75 * c.Deviation);
    EXPECT_LT(f.Noise, 1.25 * c.Deviation);

    ExpectFigure(f.RiseTime, FirstReach(c.Shape, 0.9) - FirstReach(c.Shape, 0.1), Period);
    ExpectNoisySettling(f.Settling5, c.Shape, 0.05, 5 * c.Deviation / 100);
    ExpectNoisySettling(f.Settling2, c.Shape, 0.02, 5 * c.Deviation / 100);
    ExpectFigure(f.SteadyError, 0, c.Deviation / 2);
}

TEST(StepFigures, NoisyFirstOrderShowsNoOvershoot) {
    TRecord record = StepRecord(0, 100, FirstOrder(50), 0, 3000, -1000);
    AddNoise(record.Actual, 0.3, 7);
    ExpectNoOvershoot(record.Velocity(-1000, 3000));
}

TEST(StepFigures, NoisyOvershootStaysNearTheClosedForm) {
    const double zeta = 0.3, omega = 0.04, root = std::sqrt(1 - zeta * zeta);
    TRecord record = StepRecord(0, 100, SecondOrder(zeta, omega), 0, 3000, -1000);
    AddNoise(record.Actual, 0.3, 11);
    const TStepFigures f = record.Velocity(-1000, 3000);
    ExpectFigure(f.Overshoot, 100 * std::exp(-zeta * std::numbers::pi / root), 1.5);
    ExpectFigure(f.PeakTime, std::numbers::pi / (omega * root), 3 * Period);
}

INSTANTIATE_TEST_SUITE_P(StepFigures, NoisyStep,
                         testing::Values(TNoisyCase{"FirstOrder", FirstOrder(50), 0.3, 7},
                                         TNoisyCase{"Underdamped", SecondOrder(0.3, 0.04), 0.3, 11},
                                         TNoisyCase{"Overdamped", SecondOrder(0.9, 0.02), 0.2, 13}),
                         [](const auto& test) { return std::string(test.param.Name); });

// The command reaches 100 over `samples` samples from t = 0.
TRecord SpreadStep(int samples) {
    TRecord r = StepRecord(0, 100, FirstOrder(40));
    for (int k = 0; k + 1 < samples; ++k) r.Command[size_t(100 + k)] = 100.0 * (k + 1) / samples;
    return r;
}

TRecord NoisyActual(TRecord r, double deviation) {
    AddNoise(r.Actual, deviation, 3);
    return r;
}

struct TRefusalCase {
    const char* Name;
    TRecord Record;
    double From, To;
    EFigureLack Lack;
};

class RefusedStep : public testing::TestWithParam<TRefusalCase> {};

TEST_P(RefusedStep, EveryFigureSaysWhy) {
    const TRefusalCase& c = GetParam();
    const TStepFigures f = c.Record.Velocity(c.From, c.To);
    EXPECT_EQ(f.StepLack, c.Lack);
    for (const TFigure& figure :
         {f.RiseTime, f.Overshoot, f.Settling5, f.Settling2, f.SteadyError, f.PeakTime})
        EXPECT_EQ(figure.Lack, c.Lack);
}

INSTANTIATE_TEST_SUITE_P(
    StepFigures, RefusedStep,
    testing::Values(
        TRefusalCase{"StepBelowTheNoise", NoisyActual(StepRecord(0, 2, FirstOrder(40)), 1), -500,
                     3000, EFigureLack::StepInNoise},
        TRefusalCase{"StepOfThreeDeviations", NoisyActual(StepRecord(0, 3, FirstOrder(40)), 1),
                     -500, 3000, EFigureLack::StepInNoise},
        TRefusalCase{"StepBeforeTheRange", StepRecord(0, 100, FirstOrder(40)), 500, 3000,
                     EFigureLack::NoStep},
        TRefusalCase{"StepAfterTheRange", StepRecord(0, 100, FirstOrder(40)), -500, -5,
                     EFigureLack::NoStep},
        TRefusalCase{"TwoSamplesBefore", StepRecord(0, 100, FirstOrder(40)), -10, 3000,
                     EFigureLack::FewBefore},
        TRefusalCase{"SevenSamplesAfter", StepRecord(0, 100, FirstOrder(40)), -500, 30,
                     EFigureLack::FewAfter},
        TRefusalCase{"CommandOverFourSamples", SpreadStep(4), -500, 3000, EFigureLack::Ramp},
        TRefusalCase{"CommandOverTenSamples", SpreadStep(10), -500, 3000, EFigureLack::Ramp}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(StepFigures, NoisyStepOfTenDeviationsIsTaken) {
    const TStepFigures f = NoisyActual(StepRecord(0, 10, FirstOrder(40)), 1).Velocity(-500, 3000);
    EXPECT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_TRUE(f.RiseTime.Available());
}

class CommandOverSamples : public testing::TestWithParam<int> {};

TEST_P(CommandOverSamples, IsOneStepToWhereItSettles) {
    const TStepFigures f = SpreadStep(GetParam()).Velocity(-500, 3000);
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_EQ(f.StepTime, 0);
    EXPECT_EQ(f.From, 0);
    EXPECT_EQ(f.To, 100);
    ExpectFigure(f.RiseTime, 40 * Ln9, Interpolated);
}

INSTANTIATE_TEST_SUITE_P(StepFigures, CommandOverSamples, testing::Values(1, 2, 3));

TEST(StepFigures, ResponseShortOfTheBandNeverSettles) {
    const TStepFigures f = StepRecord(0, 100, [](double t) {
                               return 0.93 * (1 - std::exp(-t / 40));
                           }).Velocity(-500, 3000);
    EXPECT_TRUE(f.RiseTime.Available());
    EXPECT_EQ(f.Settling5.Lack, EFigureLack::NeverSettled);
    EXPECT_EQ(f.Settling2.Lack, EFigureLack::NeverSettled);
    ExpectFigure(f.SteadyError, 7, 1e-6);  // the set-point 100 less the 93 reached
    ExpectNoOvershoot(f);
}

TEST(StepFigures, RecordEndingMidRiseLacksWhatComesLater) {
    const TStepFigures f = StepRecord(0, 100, FirstOrder(100), 0, 200).Velocity(-500, 200);
    EXPECT_EQ(f.RiseTime.Lack, EFigureLack::NeverReached);
    EXPECT_EQ(f.Settling5.Lack, EFigureLack::NeverSettled);
    EXPECT_EQ(f.Settling2.Lack, EFigureLack::NeverSettled);
    EXPECT_GT(f.SteadyError.Value, 10);  // still far below the set-point
}

TEST(StepFigures, ResponseAheadOfTheStepHasNoRiseTime) {
    TRecord record = StepRecord(0, 100, [](double t) { return 0.5 + 0.5 * FirstOrder(40)(t); });
    for (size_t i = 0; record.Keys[i] < 0; ++i) record.Actual[i] = 50;
    const TStepFigures f = record.Velocity(-500, 3000);
    EXPECT_EQ(f.RiseTime.Lack, EFigureLack::AlreadyMoving);
    EXPECT_TRUE(f.Settling5.Available());
}

// Steps at 0 (0 to 50), 1000 (to 100) and 2000 (to 20), each followed with tau = 40.
TRecord ThreeSteps() {
    TRecord r;
    const double times[] = {0, 1000, 2000}, levels[] = {0, 50, 100, 20};
    for (double t = -500; t <= 3000; t += Period) {
        double actual = 0, command = 0;
        for (size_t k = 0; k < 3; ++k) {
            if (t < times[k]) break;
            actual += (levels[k + 1] - levels[k]) * FirstOrder(40)(t - times[k]);
            command = levels[k + 1];
        }
        r.Add(t, actual, command);
    }
    return r;
}

struct TRangeCase {
    double From, To;  // range
    double StepTime, Before, After;
};

class SeveralSteps : public testing::TestWithParam<TRangeCase> {};

TEST_P(SeveralSteps, TheLastInRangeCounts) {
    const TRangeCase c = GetParam();
    const TStepFigures f = ThreeSteps().Velocity(c.From, c.To);
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_EQ(f.StepTime, c.StepTime);
    EXPECT_EQ(f.From, c.Before);
    EXPECT_EQ(f.To, c.After);
    ExpectFigure(f.RiseTime, 40 * Ln9, Interpolated);
    ExpectSettling(f.Settling5, 40 * Ln20);
}

INSTANTIATE_TEST_SUITE_P(StepFigures, SeveralSteps,
                         testing::Values(TRangeCase{-500, 3000, 2000, 100, 20},
                                         TRangeCase{-500, 1995, 1000, 50, 100},
                                         TRangeCase{500, 1800, 1000, 50, 100},
                                         TRangeCase{-500, 900, 0, 0, 50}));

struct TZeroCase {
    const char* Name;
    double Peak;
    TShape Shape;  // share of the way from the peak to zero
    double Deviation;
};

class SettlingToZero : public testing::TestWithParam<TZeroCase> {};

TEST_P(SettlingToZero, MeasuresFromTheJumpToZero) {
    const TZeroCase c = GetParam();
    TRecord record = StepRecord(c.Peak, 0, c.Shape);
    for (size_t i = 0; record.Keys[i] < 0; ++i) record.Actual[i] = 0;
    AddNoise(record.Actual, c.Deviation, 5);
    const TStepFigures f = record.Zero(-500, 3000);
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_EQ(f.StepTime, 0);
    EXPECT_NEAR(f.From, c.Peak, 5 * c.Deviation);
    EXPECT_EQ(f.To, 0);
    const double tolerance = c.Deviation > 0 ? Period : Interpolated;
    ExpectFigure(f.RiseTime, FirstReach(c.Shape, 0.9) - FirstReach(c.Shape, 0.1), tolerance);
    ExpectNoisySettling(f.Settling5, c.Shape, 0.05, 5 * c.Deviation / std::fabs(c.Peak));
    ExpectFigure(f.SteadyError, 0, c.Deviation / 2 + 1e-6);
}

INSTANTIATE_TEST_SUITE_P(StepFigures, SettlingToZero,
                         testing::Values(TZeroCase{"Decay", 500, FirstOrder(60), 0},
                                         TZeroCase{"NegativeDecay", -300, FirstOrder(30), 0},
                                         TZeroCase{"SwingThroughZero", 400, SecondOrder(0.5, 0.03),
                                                   0},
                                         TZeroCase{"NoisyDecay", 500, FirstOrder(60), 1}),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST(StepFigures, SwingThroughZeroIsAnOvershootNotAJump) {
    const double zeta = 0.5, root = std::sqrt(1 - zeta * zeta);
    TRecord record = StepRecord(400, 0, SecondOrder(zeta, 0.03));
    for (size_t i = 0; record.Keys[i] < 0; ++i) record.Actual[i] = 0;
    const TStepFigures f = record.Zero(-500, 3000);
    EXPECT_EQ(f.StepTime, 0);
    ExpectFigure(f.Overshoot, 100 * std::exp(-zeta * std::numbers::pi / root), 0.5);
    ExpectFigure(f.PeakTime, std::numbers::pi / (0.03 * root), Period / 2);
}

TEST(StepFigures, JumpOverTwoSamplesStartsAtItsPeak) {
    TRecord record = StepRecord(500, 0, FirstOrder(60), 5);
    for (size_t i = 0; record.Keys[i] < 5; ++i) record.Actual[i] = record.Keys[i] < 0 ? 0 : 250;
    const TStepFigures f = record.Zero(-500, 3000);
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_EQ(f.StepTime, 0);
    EXPECT_EQ(f.From, 500);
    ExpectFigure(f.RiseTime, 60 * Ln9, Interpolated);
}

// Jumps to 500 at 0 and to -200 at 1000, each decaying with tau = 40.
TRecord TwoJumps() {
    TRecord r;
    for (double t = -500; t <= 3000; t += Period) {
        double value = t < 0 ? 0 : 500 * std::exp(-t / 40);
        if (t >= 1000) value = -200 * std::exp(-(t - 1000) / 40);
        r.Add(t, value, 0);
    }
    return r;
}

TEST(StepFigures, LastJumpInRangeCounts) {
    const TStepFigures last = TwoJumps().Zero(-500, 3000);
    EXPECT_EQ(last.StepTime, 1000);
    EXPECT_EQ(last.From, -200);
    ExpectSettling(last.Settling2, 40 * Ln50);
    const TStepFigures first = TwoJumps().Zero(-500, 900);
    EXPECT_EQ(first.StepTime, 0);
    EXPECT_EQ(first.From, 500);
    ExpectSettling(first.Settling2, 40 * Ln50);
    EXPECT_EQ(TwoJumps().Zero(100, 900).StepLack, EFigureLack::NoStep);
}

TEST(StepFigures, MillionSamplesInOnePass) {
    TRecord record = StepRecord(0, 100, FirstOrder(50), 4'990'000, 5'000'000, 0);
    ASSERT_EQ(record.Keys.size(), 1'000'001u);
    AddNoise(record.Actual, 0.1, 17);
    const TStepFigures f = record.Velocity(0, 5'000'000);
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_EQ(f.StepTime, 4'990'000);
    ExpectFigure(f.RiseTime, 50 * Ln9, Period);

    // The same samples as a jump to 100 at the step decaying to zero.
    for (size_t i = 0; i < record.Actual.size(); ++i)
        record.Actual[i] = record.Keys[i] < 4'990'000 ? record.Actual[i] : 100 - record.Actual[i];
    const TStepFigures zero = record.Zero(0, 5'000'000);
    ASSERT_EQ(zero.StepLack, EFigureLack::None);
    EXPECT_EQ(zero.StepTime, 4'990'000);
    ExpectFigure(zero.RiseTime, 50 * Ln9, Period);
}

}  // namespace
