// What one velocity sample puts on the chart: the time step from the
// controller's tick counter and the Y value of each series.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "link/Protocol.h"

namespace sampleplot {

// Controller ticks count 5 ms each.
constexpr uint32_t MsPerTick = 5;
// Servo mode in which the bar commands a velocity.
constexpr int VelocityMode = protocol::smVelocity;
// Items of the velocity-unit group.
enum TVelocityUnit : int { vuMmPerMin = 0, vuKiloPulsesPerSec = 1, vuPercent = 2 };

// Ticks between two samples of the controller's 16-bit counter: the true
// distance modulo 65536, so a sample taken across the wrap still counts.
// 0 means the same sample again.
uint32_t TickDistance(uint16_t previous, uint16_t current);

struct TSampleInput {
    int servoMode = -1;     // item index of the servo-mode group
    int unit = vuKiloPulsesPerSec;  // item index of the velocity-unit group
    int barPosition = protocol::BarCentre;  // drive bar
    uint16_t kfWord = 0;    // parameter #2, 8.8 fixed point
    int32_t pulsesPerMm = 80;
    int16_t velocity = 0;   // x 200 = pulses per second
    int16_t mismatch = 0;
};

// Y of Series1..Series3; an empty entry means the series gets no point.
using TSamplePoints = std::array<std::optional<double>, 3>;

// Command velocity of the bar in pulses per second: (p - 256) x 250 / Kf.
// A Kf word of 0 leaves the controller without a set-point, so C is 0.
double CommandVelocity(int barPosition, uint16_t kfWord);

// The points of one sample, all in double precision. In millimetres per
// minute with 0 pulses per millimetre no value is defined and no series
// gets a point.
TSamplePoints ComputeSamplePoints(const TSampleInput& in);

// A sample on a record's time base, at the controller tick it was taken at:
// its ticks after the last sample placed (at lastMs), the record's first at
// 0. A repeated sample (no tick since the last) places nothing. The time
// wraps modulo 2^32.
struct TPlaced {
    uint32_t timeMs;
    uint32_t ticks;  // since the sample before it
    TSamplePoints points;
};
std::optional<TPlaced> PlaceSample(std::optional<uint32_t> lastMs, uint16_t prevTick, uint16_t tick,
                                   const TSampleInput& in);

}  // namespace sampleplot
