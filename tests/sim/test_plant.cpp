// The plants: each key changes the motor as it says, on the model itself.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <set>
#include <vector>

#include "sim/PlantSources.h"
#include "tests/sim/EngineBench.h"

namespace {

using sim::TMotorModel;
using sim::TPlant;

TPlant Parse(const std::string& text) {
    std::string error;
    const std::optional<TPlant> plant = sim::ParsePlant(text, &error);
    EXPECT_TRUE(plant) << text << ": " << error;
    return plant.value_or(TPlant{});
}

sim::TMotorCommand Command(uint8_t mode, int16_t drive, uint16_t kp = 256, uint16_t ki = 64) {
    sim::TMotorCommand command{mode, drive, 0, sim::DefaultParams};
    command.Params[sim::prKp] = kp;
    command.Params[sim::prKi] = ki;
    return command;
}

// True velocities (pulses/s) after each tick of a constant command.
std::vector<double> Trace(const TPlant& plant, int ticks,
                          sim::TMotorCommand command = Command(sim::smPwm, 128)) {
    TMotorModel motor(plant);
    std::vector<double> velocities;
    for (int i = 0; i < ticks; ++i) {
        motor.Step(command);
        velocities.push_back(motor.Velocity());
    }
    return velocities;
}

// Milliseconds until a PWM step reaches half its final speed, between ticks
// by straight line.
double HalfSpeedMs(const TPlant& plant) {
    const std::vector<double> v = Trace(plant, 2000);
    size_t k = 0;
    while (v[k] < v.back() / 2) ++k;
    const double before = k ? v[k - 1] : 0;
    return 5.0 * double(k) + 5.0 * (v.back() / 2 - before) / (v[k] - before);
}

// When the shaft starts to move after a PWM step, from the first tick that
// moved and the default motor's starting slope.
double OnsetMs(const TPlant& plant) {
    const double slope = Trace({}, 1)[0] / 5;
    const std::vector<double> v = Trace(plant, 10);
    size_t k = 0;
    while (v[k] == 0) ++k;
    return 5.0 * double(k + 1) - v[k] / slope;
}

// SD in 'V' counts of the velocity reported at rest.
double RestNoise(const TPlant& plant) {
    TMotorModel motor(plant);
    double sum = 0, squares = 0;
    constexpr int Count = 4000;
    for (int i = 0; i < Count; ++i) {
        motor.Step(Command(sim::smPwm, 0));
        const double counts = std::round(motor.MeasuredVelocity() / 200);
        sum += counts;
        squares += counts * counts;
    }
    return std::sqrt(squares / Count - (sum / Count) * (sum / Count));
}

// Frequency of the ringing after a PWM step: the strongest below the
// sampling's 100 Hz in the velocity less that of the same plant with a rigid
// load, differenced to drop the slow remainder.
double RingingHz(const TPlant& plant) {
    TPlant rigid = plant;
    rigid.Resonance = 0;
    const std::vector<double> a = Trace(plant, 100), b = Trace(rigid, 100);
    double strongest = 0, hz = 0;
    for (double f = 5; f < 100; f += 0.25) {
        std::complex<double> sum;
        for (size_t i = 1; i < a.size(); ++i)
            sum += (a[i] - b[i] - a[i - 1] + b[i - 1]) *
                   std::polar(1.0, -2 * std::numbers::pi * f * 0.005 * double(i));
        if (std::abs(sum) > strongest) std::tie(strongest, hz) = std::pair(std::abs(sum), f);
    }
    return hz;
}

// Largest gap between the plant's velocity loop with its gain words and the
// default plant's with the words those act as.
double GapToWords(const TPlant& plant, uint16_t kp, uint16_t ki, uint16_t kpActs, uint16_t kiActs) {
    const std::vector<double> a = Trace(plant, 100, Command(sim::smVelocity, 100, kp, ki));
    const std::vector<double> b = Trace({}, 100, Command(sim::smVelocity, 100, kpActs, kiActs));
    double gap = 0;
    for (size_t i = 0; i < a.size(); ++i) gap = std::max(gap, std::abs(a[i] - b[i]));
    return gap;
}

double Moves(const TPlant& plant, int16_t drive) {
    return Trace(plant, 100, Command(sim::smPwm, drive)).back() > 0;
}

struct TKeyCase {
    const char* Plant;
    std::function<double(const TPlant&)> Measure;
    double Expected;
    double Tolerance;
};

TEST(Plant, KeysActAsTheySay) {
    const double halfSpeed = HalfSpeedMs({});
    const auto halfSpeedRatio = [&](const TPlant& p) { return HalfSpeedMs(p) / halfSpeed; };
    const double speed = Trace({}, 1000).back();
    const auto speedRatio = [&](const TPlant& p) { return Trace(p, 1000).back() / speed; };
    const TKeyCase cases[] = {
        {"inertia=2", halfSpeedRatio, 2, 0.05},
        {"inertia=0.5", halfSpeedRatio, 0.5, 0.02},
        {"", OnsetMs, 0, 0.01},
        {"delay=2", OnsetMs, 2, 0.1},
        {"delay=7", OnsetMs, 7, 0.1},
        {"delay=10", OnsetMs, 10, 0.1},
        {"delay=20", OnsetMs, 20, 0.1},
        {"", [](const TPlant& p) { return Moves(p, 8); }, 1, 0},
        {"friction=10", [](const TPlant& p) { return Moves(p, 8); }, 0, 0},
        {"friction=0", [](const TPlant& p) { return Moves(p, 1); }, 1, 0},
        {"friction=100", [](const TPlant& p) { return Moves(p, 99); }, 0, 0},
        {"viscous=3.2", speedRatio, 0.5, 0.005},  // as much drag again as the back-EMF's
        {"kp-scale=2", [](const TPlant& p) { return GapToWords(p, 256, 0, 512, 0); }, 0, 1e-9},
        {"kp-scale=0.25", [](const TPlant& p) { return GapToWords(p, 1024, 0, 256, 0); }, 0, 1e-9},
        {"ki-scale=5", [](const TPlant& p) { return GapToWords(p, 256, 64, 256, 320); }, 0, 1e-9},
        {"noise=1,seed=3", RestNoise, std::sqrt(1 + 1 / 12.0), 0.06},  // rounding adds 1/12
        {"noise=3,seed=4", RestNoise, std::sqrt(9 + 1 / 12.0), 0.15},
        {"resonance=15,damping=0.02", RingingHz, 15, 0.5},
        {"resonance=40,damping=0.1,inertia=4", RingingHz, 40, 1},
        {"resonance=80,damping=0.02,inertia=0.5", RingingHz, 80, 1},
    };
    for (const TKeyCase& c : cases)
        EXPECT_NEAR(c.Measure(Parse(c.Plant)), c.Expected, c.Tolerance) << c.Plant;
}

TEST(Plant, NoiseRepeatsWithItsSeedOnly) {
    const auto trace = [](const char* s) { return Trace(Parse(s), 200, Command(sim::smVelocity, 100)); };
    EXPECT_EQ(trace("noise=2,seed=7"), trace("noise=2,seed=7"));
    EXPECT_NE(trace("noise=2,seed=7"), trace("noise=2,seed=8"));
}

// The regulator works on the very measurement 'V' reports, at the next tick:
// that velocity and the next mismatch add up to the set-point, however noisy.
TEST(Plant, VReportsTheMeasurementTheRegulatorUses) {
    TEngineBench bench;
    bench.Controller.SetPlant(Parse("noise=5,seed=3"));
    bench.Run(Cat({Mode(sim::smVelocity), Drive(80)}));  // set-point 100 counts
    bench.Clock.AdvanceMs(5);
    int16_t measured = bench.Sample().Velocity, spread = 0;
    for (int i = 0; i < 200; ++i) {
        bench.Clock.AdvanceMs(5);
        const auto sample = bench.Sample();
        EXPECT_NEAR(measured + sample.Mismatch, 100, 1) << i;
        measured = sample.Velocity;
        spread = std::max(spread, int16_t(std::abs(sample.Mismatch)));
    }
    EXPECT_GT(spread, 5);
}

// Traces of the simulator's motor as it was before plants existed.
TEST(Plant, DefaultIsTheMotorOfOld) {
    const struct {
        sim::TMotorCommand Command;
        double Position, Velocity;
    } cases[] = {
        {Command(sim::smPwm, 128), 0x1.0f3ce57835adp+12, 0x1.01f20cbf2c7dp+15},
        {Command(sim::smTorque, 150), 0x1.e78e6495d8f9p+12, 0x1.fe286242eea2ap+15},
        {Command(sim::smVelocity, 100), 0x1.26cf9ec94cf03p+12, 0x1.9e0563dbf4499p+14},
        {{sim::smPosition, 0, 5000, sim::DefaultParams}, 0x1.3df98e2ef4f75p+12, 0x1.abad935a1e4c8p+12},
    };
    for (const auto& c : cases) {
        TMotorModel motor(Parse(""));
        for (int i = 0; i < 40; ++i) motor.Step(c.Command);
        EXPECT_EQ(motor.Position(), c.Position) << int(c.Command.Mode);
        EXPECT_EQ(motor.Velocity(), c.Velocity) << int(c.Command.Mode);
    }
}

TEST(Plant, BadTextIsRefusedWithTheKeyAndItsRange) {
    const struct {
        const char* Text;
        const char* Says;
    } cases[] = {
        {"foo=1", "unknown key \"foo\""}, {"inertia=50", "inertia: 50 is out of range 0.1..20"},
        {"inertia=2x", "0.1..20"},        {"friction=", "friction"},
        {"noise=nan", "0..20"},           {"delay=2.5", "whole number in 0..20"},
        {"resonance=3", "0 or 5..200"},   {"damping=0", "0.001..1"},
        {"seed=-1", "seed"},              {"kp-scale=0.01", "0.05..20"},
        {"inertia", "KEY=VALUE"},         {"inertia=2,,delay=1", "KEY=VALUE"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(sim::ParsePlant(c.Text, &error)) << c.Text;
        EXPECT_NE(error.find(c.Says), std::string::npos) << c.Text << ": " << error;
    }
}

TEST(Plant, EveryPlantOfTheZooLoadsAndReadsBack) {
    std::string error;
    const auto plants = sim::LoadPlants(PLANTS_FILE, &error);
    ASSERT_TRUE(plants) << error;
    EXPECT_GE(plants->size(), 20u);
    std::set<std::string> names;
    for (const sim::TNamedPlant& named : *plants) {
        EXPECT_TRUE(names.insert(named.Name).second) << named.Name;
        EXPECT_EQ(Parse(sim::PlantText(named.Plant)), named.Plant) << named.Name;
    }
    EXPECT_EQ(sim::PlantText(Parse(" resonance = 40 ,inertia=2.5")), "inertia=2.5,resonance=40");
}

}  // namespace
