// How every benchmark prints its result: readable lines for a person, and one
// tab-separated FIGURE line per figure that scripts/bench.sh gathers into a table.
#pragma once

#include <string>

namespace bench {

struct TFigure {
    std::string Name;      // what was measured
    std::string Goal;      // e.g. ">= 0.80"
    std::string Measured;  // the ratio (or value) compared with the goal
    std::string Raw;       // the raw numbers behind it
    bool Pass = false;
};

// Prints the figure; returns its verdict so main can fold it into the exit code.
bool Print(const TFigure& figure);

// A section heading for the program's own lines.
void Heading(const std::string& text);

// Number with a fixed count of decimals.
std::string Fixed(double value, int decimals);

}  // namespace bench
