// The window measuring live for minutes of the controller's time against the
// simulated controller, the measurement timer at 1 ms, the controller's clock
// stepped fast, the drive moved now and then. The measurement must keep
// going, the chart must hold exactly its history, its time axis must account
// for every tick of the controller, and no box may come up. Main thread.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "tests/soak/SoakWatchdog.h"

namespace soak {

struct TMeasureSoakReport {
    uint64_t controllerMs = 0;  // time the controller's clock was moved on
    uint64_t chartMs = 0;       // time the chart's axis covers at the end
    uint64_t polls = 0;         // sample polls the controller answered
    uint64_t drives = 0;        // drive changes the user made
    int boxes = 0;
    int problems = 0;
    double seconds = 0;
    bool Clean() const { return boxes == 0 && problems == 0; }
};

bool RunMeasureSoak(int minutes, TWatchdog& watchdog, TMeasureSoakReport& report, std::ostream& log);

}  // namespace soak
