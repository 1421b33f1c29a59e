// Readers of the command frames the simulated controller logged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/Frame.h"

namespace testsupport {

// A 24-bit two's-complement value in its 32-bit container.
inline int32_t SignExtend24(uint32_t raw) { return int32_t(raw << 8) >> 8; }

// The manual-drive value of an 'S' frame.
inline int16_t DriveValue(const sim::TFrame& frame) {
    return int16_t(frame.Payload.at(0) | (frame.Payload.at(1) << 8));
}

// The target of a 'T' frame.
inline int32_t Target24(const sim::TFrame& frame) {
    return SignExtend24(uint32_t(frame.Payload.at(0)) | (uint32_t(frame.Payload.at(1)) << 8) |
                        (uint32_t(frame.Payload.at(2)) << 16));
}

inline std::vector<sim::TFrame> OfCode(const std::vector<sim::TFrame>& frames, char code) {
    std::vector<sim::TFrame> found;
    for (const sim::TFrame& frame : frames)
        if (frame.Code == uint8_t(code)) found.push_back(frame);
    return found;
}

// The codes of the frames in order, e.g. "MVV".
inline std::string Codes(const std::vector<sim::TFrame>& frames) {
    std::string codes;
    for (const sim::TFrame& frame : frames) codes += char(frame.Code);
    return codes;
}

}  // namespace testsupport
