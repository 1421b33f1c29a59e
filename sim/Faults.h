// Faults the simulated controller can be told to commit, for tests and demos.
// A TFaults value is copied whole into the simulator (SetFaults), so changing
// faults at run time is thread-safe. Delays are real milliseconds on the
// wire, whichever clock drives the motor model; the line's pace (BaudRate)
// follows the simulator's clock, so a stepped clock holds it too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/LineTiming.h"

namespace sim {

struct TFaults {
    // Refusal: the command is not executed and is answered with its usual
    // number of data bytes (zeros) and "-".
    std::string RefuseCodes;  // command codes to refuse, e.g. "WS"
    bool RefuseAll = false;
    // Parameter writes: the one parameter (0 to 5) whose write is refused,
    // and the bits of a written word the controller keeps (it stores another
    // word than it was sent, and says "+").
    std::optional<uint8_t> RefuseParamWrite;
    uint16_t StoredWordMask = 0xFFFF;

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

    // Line speed: 0 carries bytes at once; otherwise both directions take a
    // byte time a byte: the console's bytes reach the protocol engine, and
    // the replies leave, one byte time apart, on the simulator's clock.
    uint32_t BaudRate = 0;
    // The character frame that sets the byte time; nothing: the served tty's
    // own (its termios), 8N1 on a pty.
    std::optional<TCharFrame> Frame;
    // The console's receiver on a paced line: 0 or 1 hands each reply byte
    // over as it arrives; N as a 16550-type FIFO with trigger level N (see
    // TRxFifo), as a PC's serial port does.
    uint32_t RxFifo = 0;

    bool Hits(uint8_t code) const;
};

}  // namespace sim
