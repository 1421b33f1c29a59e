#include "record/SamplePlot.h"

#include <cmath>

#include "link/NumberText.h"

namespace sampleplot {

uint32_t TickDistance(uint16_t previous, uint16_t current) {
    return uint16_t(current - previous);
}

double CommandVelocity(int barPosition, uint16_t kfWord) {
    if (kfWord == 0) return 0.0;
    const int32_t product = protocol::DriveOf(barPosition) * 250;
    return double(product) / (double(kfWord) / 256.0);
}

namespace {

TSamplePoints VelocityModePoints(const TSampleInput& in, double v) {
    const double c = CommandVelocity(in.barPosition, in.kfWord);
    switch (in.unit) {
    case vuMmPerMin: {
        if (in.pulsesPerMm == 0) return {};
        const double perMm = double(in.pulsesPerMm);
        return {v / perMm * 60.0, (v - c) / perMm * 60.0, c / perMm * 60.0};
    }
    case vuKiloPulsesPerSec:
        return {v / 1000.0, (v - c) / 1000.0, c / 1000.0};
    case vuPercent:
        return {c == 0.0 ? 0.0 : 100.0 / std::fabs(c) * (v - c), std::nullopt, std::nullopt};
    default:
        return {};
    }
}

}  // namespace

TSamplePoints ComputeSamplePoints(const TSampleInput& in) {
    const double v = double(int32_t(in.velocity) * 200);
    if (in.servoMode == VelocityMode) return VelocityModePoints(in, v);
    // mismatch / 5 is never an exact half, so the rounding rule cannot matter here.
    const double mismatch = double(numtext::RoundHalfEvenToInt64((long double)in.mismatch / 5.0L));
    return {v / 1000.0, mismatch, std::nullopt};
}

std::optional<TPlaced> PlaceSample(std::optional<uint32_t> lastMs, uint16_t prevTick, uint16_t tick,
                                   const TSampleInput& in) {
    const uint32_t ticks = TickDistance(prevTick, tick);
    if (ticks == 0) return std::nullopt;
    const uint32_t at = lastMs ? *lastMs + ticks * MsPerTick : 0;
    return TPlaced{at, ticks, ComputeSamplePoints(in)};
}

}  // namespace sampleplot
