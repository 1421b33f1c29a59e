// Where plants come from besides the command line: a file of named plants
// (the zoo a tuning is proven on) and the environment of a program that
// starts its own simulator.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "sim/Plant.h"

namespace sim {

// The variable the console and servo-cli read for their built-in simulator.
constexpr const char* PlantVariable = "SERVO_SIM_PLANT";

struct TNamedPlant {
    std::string Name;
    TPlant Plant;
};

// A file of "NAME: KEY=VALUE[,KEY=VALUE...]" lines; blank lines and lines
// starting with '#' are skipped. Nothing, with the file, line and reason,
// when it cannot be read or a line is bad.
std::optional<std::vector<TNamedPlant>> LoadPlants(const std::string& path,
                                                   std::string* error = nullptr);

// SERVO_SIM_PLANT's plant; the default one when it is unset, or when it is
// bad, which the warnings stream (standard error) is told.
TPlant PlantFromEnvironment(std::ostream& warnings);
TPlant PlantFromEnvironment();

}  // namespace sim
