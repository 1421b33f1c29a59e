// Recorded steps for the step-figure tests: closed-form responses sampled like
// the chart's series, seeded noise, and reference times found on the closed
// form itself (dense scan, then bisection), never by the code under test.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <ostream>
#include <random>
#include <vector>

#include "figures/StepFigures.h"

namespace stepfig {

// Failure messages name the reason's number rather than its bytes.
inline void PrintTo(EFigureLack lack, std::ostream* os) {
    *os << "EFigureLack(" << int(lack) << ")";
}

}  // namespace stepfig

namespace steprec {

constexpr double Period = 5;  // ms between samples, the controller's tick

// Share of the step reached t ms after it.
using TShape = std::function<double(double)>;

inline TShape FirstOrder(double tau) {
    return [=](double t) { return 1 - std::exp(-t / tau); };
}

// Unit step response of w^2 / (s^2 + 2 zeta w s + w^2), w in rad/ms, zeta < 1.
inline TShape SecondOrder(double zeta, double omega) {
    const double root = std::sqrt(1 - zeta * zeta), damped = omega * root;
    return [=](double t) {
        return 1 - std::exp(-zeta * omega * t) *
                       (std::cos(damped * t) + zeta / root * std::sin(damped * t));
    };
}

struct TRecord {
    std::vector<double> Keys, Actual, Command;

    void Add(double key, double actual, double command) {
        Keys.push_back(key);
        Actual.push_back(actual);
        Command.push_back(command);
    }
    stepfig::TStepFigures Velocity(double from, double to) const {
        return stepfig::VelocityStepFigures(Keys, Actual, Command, from, to);
    }
    // Actual read as a value settling to zero (the command is not used).
    stepfig::TStepFigures Zero(double from, double to) const {
        return stepfig::ZeroSettlingFigures(Keys, Actual, from, to);
    }
};

// The command steps from `from` to `to` at stepAt and the actual value follows shape.
inline TRecord StepRecord(double from, double to, const TShape& shape, double stepAt = 0,
                          double last = 3000, double first = -500) {
    TRecord r;
    for (double t = first; t <= last; t += Period) {
        const bool after = t >= stepAt;
        r.Add(t, after ? from + (to - from) * shape(t - stepAt) : from, after ? to : from);
    }
    return r;
}

// Normal deviates from a fixed seed: Box-Muller on mt19937_64, whose output the
// standard fixes, so every library gives the same records.
inline void AddNoise(std::vector<double>& values, double deviation, uint64_t seed) {
    std::mt19937_64 bits(seed);
    auto uniform = [&] { return (double(bits() >> 11) + 0.5) / 9007199254740992.0; };
    for (double& v : values) {
        const double radius = std::sqrt(-2 * std::log(uniform()));
        v += deviation * radius * std::cos(2 * std::numbers::pi * uniform());
    }
}

// Where `before` stops holding between a (holds) and b (does not).
inline double Boundary(const std::function<bool(double)>& before, double a, double b) {
    for (int i = 0; i < 60; ++i) {
        const double middle = (a + b) / 2;
        (before(middle) ? a : b) = middle;
    }
    return a;
}

constexpr double DenseStep = 0.01;  // ms

// First time the shape reaches level.
inline double FirstReach(const TShape& shape, double level) {
    double t = 0;
    while (shape(t) < level) t += DenseStep;
    return t == 0 ? 0 : Boundary([&](double x) { return shape(x) < level; }, t - DenseStep, t);
}

// Last time before end the shape lies outside 1 +- band.
inline double LastOutside(const TShape& shape, double band, double end) {
    auto outside = [&](double x) { return std::fabs(shape(x) - 1) > band; };
    double t = end;
    while (t > 0 && !outside(t)) t -= DenseStep;
    return Boundary(outside, t, t + DenseStep);
}

}  // namespace steprec
