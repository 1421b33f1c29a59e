// Faults the simulated controller can be told to commit, for tests and demos.
// A TFaults value is copied whole into the simulator (SetFaults), so changing
// faults at run time is thread-safe. Times are real milliseconds on the wire,
// whichever clock drives the motor model.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct TFaults {
    // Refusal: the command is not executed and is answered with its usual
    // number of data bytes (zeros) and "-".
    std::string RefuseCodes;  // command codes to refuse, e.g. "WS"
    bool RefuseAll = false;

    // The probe (a lone 0xFF byte).
    bool NeverAnswerProbe = false;
    bool ProbeTwoBytes = false;  // answer "XX" instead of "X"

    // The reply faults below hit only replies to the codes listed here; empty
    // means every command (never the probe answer).
    std::string ReplyCodes;

    uint32_t DropNext = 0;    // drop the next N replies (counts down)
    uint32_t DropEvery = 0;   // drop every Nth reply (1: all of them)
    uint32_t DelayMs = 0;     // hold each reply back this long
    uint32_t ChunkBytes = 0;  // send replies in pieces of this many bytes...
    uint32_t ChunkGapMs = 5;  // ...with this pause between the pieces
    std::vector<uint8_t> GarbageBefore;
    std::vector<uint8_t> GarbageAfter;
    std::optional<uint8_t> WrongStatus;  // replaces the status character

    // Line speed: 0 sends at once; otherwise output is paced at 10 bits a byte.
    uint32_t BaudRate = 0;

    bool Hits(uint8_t code) const;
};

}  // namespace sim
