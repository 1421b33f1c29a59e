// Step figures of the simulated controller's own motor, recorded as the
// console records it: the drive set through the protocol engine ('B', the
// bar's offset from its centre), one 'V' sample per 5 ms controller tick on
// the stepped clock, plotted in kilopulses per second (the command by the
// set-point formula v x 250 / Kf that the console plots).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "figures/StepFigures.h"
#include "sim/MotorModel.h"
#include "tests/console/StepRecords.h"
#include "tests/sim/EngineBench.h"

namespace {

using sim::TMotorModel;
using stepfig::EFigureLack;
using stepfig::TStepFigures;

constexpr uint16_t Kf = 256;  // 1.0: the command is 250 pulses/s per drive unit


struct TMotorRecorder {
    TEngineBench Bench;
    steprec::TRecord Record;
    std::vector<double> Mismatch;  // pulses / 5, as the chart plots it
    double Now = 0;

    // Samples every tick for ms, the drive held.
    void Hold(int16_t drive, int ms) {
        Bench.Run(Drive(drive));
        for (int t = 0; t < ms; t += int(steprec::Period)) {
            Bench.Clock.AdvanceMs(uint32_t(steprec::Period));
            const TEngineBench::TSample s = Bench.Sample();
            Now += steprec::Period;
            Record.Add(Now, s.Velocity * 0.2, TMotorModel::VelocitySetpoint(drive, Kf) / 1000);
            Mismatch.push_back(std::round(s.Mismatch / 5.0));
        }
    }
    TStepFigures Velocity() const { return Record.Velocity(0, Now); }
    void VelocityMode(uint16_t kp, uint16_t ki) {
        Bench.Run(Cat({WriteParam(sim::prKf, Kf), WriteParam(sim::prKp, kp),
                       WriteParam(sim::prKi, ki), Mode(sim::smVelocity)}));
    }
};

// Regulator output that Coulomb friction eats, in pulses/s of velocity error.
double FrictionError(uint16_t kp) {
    return TMotorModel::CoulombFriction * TMotorModel::KpScale / (kp / 256.0);
}

struct TProportionalCase {
    uint16_t Kp;
    int16_t From, To;  // drive
};

class MotorProportional : public testing::TestWithParam<TProportionalCase> {};

// With Ki 0 the loop is first order: per tick v += T g kp/KpScale (c - v) - T g
// friction, g the acceleration per drive unit, back-EMF compensated; so the
// velocity settles short of the command by the friction error (beyond it for
// a step down) with the time constant of that difference equation.
TEST_P(MotorProportional, FollowsTheFirstOrderModel) {
    const TProportionalCase c = GetParam();
    TMotorRecorder m;
    m.VelocityMode(c.Kp, 0);
    m.Hold(c.From, 1000);
    m.Hold(c.To, 1500);
    const TStepFigures f = m.Velocity();
    ASSERT_EQ(f.StepLack, EFigureLack::None);

    const double command = TMotorModel::VelocitySetpoint(c.To, Kf);
    const double step = command - TMotorModel::VelocitySetpoint(c.From, Kf);
    const double accel = TMotorModel::StallAccel / TMotorModel::FullTorque;  // per drive unit
    const double tickS = steprec::Period / 1000;
    const double tau =
        -steprec::Period / std::log(1 - tickS * accel * (c.Kp / 256.0) / TMotorModel::KpScale);
    // Friction opposes the motion, so the velocity stays under a positive command.
    const double error = -std::copysign(FrictionError(c.Kp), command);
    const double reach = 1 + error / step;  // the share the velocity settles at
    const double rise = tau * std::log((reach - 0.1) / (reach - 0.9));
    // Rounding to a 'V' unit (200 pulses/s) moves the 90 % crossing by up to
    // 100 pulses/s over the slope there, besides the tick's own rounding.
    const double slope = std::fabs(step) * (reach - 0.9) / tau;  // pulses/s per ms
    EXPECT_NEAR(f.RiseTime.Value, rise, steprec::Period + 100 / slope);
    // The set-point less where the velocity settles.
    EXPECT_NEAR(f.SteadyError.Value, -error / 1000, 0.1 + 1e-9);
    EXPECT_EQ(f.SteadyError.Lack, EFigureLack::None);
    // Beyond the set-point is an overshoot whatever the cause: for a step
    // down, the friction error; within a 'V' unit of it.
    EXPECT_NEAR(f.Overshoot.Value, std::max(0.0, 100 * error / step), 100 * 200 / std::fabs(step) + 1e-9);
    EXPECT_EQ(f.Overshoot.Lack, EFigureLack::None);
    // Settled within the band where the friction error fits in it.
    for (auto [figure, band] : {std::pair{f.Settling5, 0.05}, std::pair{f.Settling2, 0.02}}) {
        if (std::fabs(error / step) < band) {
            EXPECT_TRUE(figure.Available());
            EXPECT_GT(figure.Value, f.RiseTime.Value);
        } else {
            EXPECT_EQ(figure.Lack, EFigureLack::NeverSettled);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(StepFigures, MotorProportional,
                         testing::Values(TProportionalCase{256, 0, 40},  // error 3.8 % of the step
                                         TProportionalCase{128, 0, 80},  // the same, half as fast
                                         TProportionalCase{128, 0, 40},  // error 7.7 %
                                         TProportionalCase{256, 80,
                                                           40}),  // down: beyond the command
                         [](const auto& test) {
                             const TProportionalCase& c = test.param;
                             return "Kp" + std::to_string(c.Kp) + "_" + std::to_string(c.From) +
                                    "to" + std::to_string(c.To);
                         });

// The factory regulator (Kp 1, Ki 0.25): the integral takes the friction
// error away, so the motor settles on the command; the response is quick,
// barely overshoots and is faster than without the integral.
TEST(StepFigures, MotorWithTheFactoryRegulatorSettlesOnTheCommand) {
    TMotorRecorder pi;
    pi.VelocityMode(256, 64);
    pi.Hold(0, 1000);
    pi.Hold(40, 3000);
    const TStepFigures f = pi.Velocity();
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_EQ(f.StepTime, 1005);
    EXPECT_EQ(f.To, 10);
    ASSERT_TRUE(f.RiseTime.Available());
    EXPECT_GT(f.RiseTime.Value, 0);
    ASSERT_TRUE(f.Settling5.Available());
    ASSERT_TRUE(f.Settling2.Available());
    EXPECT_GE(f.Settling5.Value, f.RiseTime.Value);
    EXPECT_GE(f.Settling2.Value, f.Settling5.Value);
    EXPECT_LT(f.Overshoot.Value, 10);
    EXPECT_NEAR(f.SteadyError.Value, 0, 0.1 + 1e-9);  // within a 'V' unit's rounding

    TMotorRecorder p;
    p.VelocityMode(256, 0);
    p.Hold(0, 1000);
    p.Hold(40, 3000);
    EXPECT_LT(f.RiseTime.Value, p.Velocity().RiseTime.Value);
}

// The position mode: the mismatch jumps with the target and settles to zero.
TEST(StepFigures, MotorMismatchSettlesAfterANewTarget) {
    TMotorRecorder m;
    m.Bench.Run(Mode(sim::smPosition));
    m.Hold(0, 500);
    m.Bench.Run(Target(4000));
    m.Hold(0, 2000);
    const TStepFigures f = stepfig::ZeroSettlingFigures(m.Record.Keys, m.Mismatch, 0, m.Now);
    ASSERT_EQ(f.StepLack, EFigureLack::None);
    EXPECT_EQ(f.StepTime, 505);
    // The regulator reads the error before its tick moves the motor: all of
    // the 4000 pulses, plotted over 5.
    EXPECT_EQ(f.From, 800);
    ASSERT_TRUE(f.RiseTime.Available());
    EXPECT_GT(f.RiseTime.Value, 0);
    ASSERT_TRUE(f.Settling2.Available());
    EXPECT_GE(f.Settling2.Value, f.RiseTime.Value);
    EXPECT_NEAR(f.SteadyError.Value, 0, 1);
}

}  // namespace
