// Arguments of the servo-sim command.
#pragma once

#include <string>
#include <vector>

#include "sim/Faults.h"
#include "sim/Plant.h"

namespace sim {

struct TCommandLine {
    bool Help = false;
    bool Version = false;
    std::string TtyPath;  // empty: create a pty
    TFaults Faults;
    TPlant Plant = {};
    std::string Error;    // set when the arguments are unusable
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText();

}  // namespace sim
