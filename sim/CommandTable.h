// The controller's command set: payload and reply sizes of each code.
#pragma once

#include <cstdint>
#include <optional>

namespace sim {

struct TCommandShape {
    uint8_t Payload;    // payload bytes after the length byte
    uint8_t ReplyData;  // data bytes before the status character
};

constexpr uint8_t ProbeByte = 0xFF;
constexpr uint8_t ProbeAnswer = 'X';
constexpr uint8_t StatusAccepted = '+';
constexpr uint8_t StatusRefused = '-';
// A frame's payload never needs more room than this; a larger length byte
// cannot start a real frame.
constexpr uint8_t MaxPayload = 32;

// Shape of a known command; nothing for an unknown code. The identification
// is open-ended text and counts 0 data bytes here.
std::optional<TCommandShape> CommandShape(uint8_t code);

}  // namespace sim
