// What went over the line, as the link sees it: each command frame sent, each
// transaction's end with the bytes its reply brought (all of them, part of
// them or none), the probe, and the line going away. A traffic log listens
// here; the link works the same without one. Main thread.
#pragma once

#include <cstdint>
#include <span>

enum TLinkState : uint8_t;

class TLinkTrace {
public:
    virtual ~TLinkTrace() = default;
    virtual void FrameSent(std::span<const uint8_t> frame) = 0;
    // Answered (accepted, refused, unreadable) or timed out; reply: the bytes
    // taken for it, the status character included.
    virtual void TransactionEnded(uint8_t code, TLinkState state, std::span<const uint8_t> reply) = 0;
    // The probe: the bytes sent, and whether the controller answered.
    virtual void Probed(int sent, bool answered) = 0;
    virtual void LineLost() = 0;
};
