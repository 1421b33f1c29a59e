// The guided step test's plan, the same for the window and the command line:
// its settings within their limits, and what to do at each sample of the
// record (step once its time reaches the set time, end once the hold after
// it has passed). Plain C++.
#pragma once

#include <cstdint>

namespace steptest {

constexpr int StepLimit = 64;  // bar units either way: a step a motor on a bench takes safely
constexpr int MinPhaseMs = 100;
constexpr int MaxPhaseMs = 60000;
constexpr int MaxPeriodMs = 1000;

struct TSettings {
    int step = 32;        // bar units from the centre, never 0
    int beforeMs = 500;   // of the record's time, from the start to the step
    int afterMs = 1500;   // from the step to the end
    // Below a 'V' round trip at 38400 baud (about 2.4 ms): each poll follows
    // the last reply at once, well within the controller's 5 ms tick
    // (bench_ticks counts the ticks a record still misses).
    int periodMs = 2;
    // The regulator's integral carried over from before would make the same
    // words give other figures: cleared by switching the mode away and back.
    bool resetRegulator = true;
};

// True when every setting is within its limits.
bool Valid(const TSettings& settings);

enum class EPhase { Idle, Before, After };
enum class EAction { None, Step, End };

// Moves the phase on for a sample at timeMs of the record, and says what to do.
EAction Next(EPhase& phase, const TSettings& settings, uint32_t timeMs);

}  // namespace steptest
