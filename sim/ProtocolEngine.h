// The controller's side of the serial protocol: bytes in, exchanges out.
// Frames are assembled across any number of Feed calls.
//
// Framing policy. With no frame under way, a lone 0xFF is the probe and is
// answered 'X'; any other byte is a command code, and the next byte is the
// payload length. The length byte always decides how many payload bytes the
// frame swallows, for known and unknown codes alike, so the stream stays in
// step whatever the code. Then:
//  - an unknown code is answered "-";
//  - a known code whose length differs from its payload size is refused with
//    the command's usual data bytes (zeros) and "-", unexecuted;
//  - a length above 32 (more than any frame may carry) ends the frame at once
//    with "-": such a length is line noise, and swallowing up to 255 following
//    bytes would eat the console's next frames, probes included.
// Not thread-safe: the owner serialises access.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/Controller.h"
#include "sim/Faults.h"
#include "sim/Frame.h"

namespace sim {

struct TExchange {
    bool Probe = false;
    TFrame Frame;                // code and payload (empty for the probe)
    std::vector<uint8_t> Reply;  // full reply; empty when none is due
};

class TProtocolEngine {
public:
    explicit TProtocolEngine(TController& controller);

    // The refusal and probe faults act here; reply shaping is done later.
    std::vector<TExchange> Feed(std::span<const uint8_t> bytes, const TFaults& faults);

private:
    enum class EState { Code, Length, Payload };

    void Accept(uint8_t byte, const TFaults& faults, std::vector<TExchange>& out);
    TExchange Probe(const TFaults& faults) const;
    TExchange Complete(const TFaults& faults);

    TController& FController;
    EState FState = EState::Code;
    TFrame FFrame;
    uint8_t FLength = 0;
};

}  // namespace sim
