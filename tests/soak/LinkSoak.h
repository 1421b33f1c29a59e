// Link transactions by the hundred thousand against the simulated controller
// on a pty, its replies faulted in phases. Every transaction must end, in the
// state its phase gives, every accepted reply must agree with what the
// controller holds, and the link must take the next command. Main thread.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "tests/soak/SoakWatchdog.h"

namespace soak {

struct TLinkSoakReport {
    uint64_t transactions = 0;
    uint64_t refusedSends = 0;   // a send refused although no transaction was under way
    uint64_t wrongOutcomes = 0;  // ended in another state than its phase gives
    uint64_t wrongValues = 0;    // an accepted reply that disagrees with the controller
    uint64_t timeouts = 0;       // dropped replies, and early ends (see LinkSoak.cpp)
    uint64_t earlyTimeouts = 0;
    double seconds = 0;
    bool Clean() const { return refusedSends == 0 && wrongOutcomes == 0 && wrongValues == 0; }
};

// False when the run could not start (no pty, no answer to the probe).
bool RunLinkSoak(uint64_t count, TWatchdog& watchdog, TLinkSoakReport& report, std::ostream& log);

}  // namespace soak
