// The console's command line: --help and --version, answered before any
// window exists, so they work without a display. There are no other options;
// the console keeps no settings.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace options {

// Answers the arguments (those after the program name). The exit status when
// the program ends here: 0 after the usage or the version, 2 after a bad
// argument. Nothing when the window is to open.
std::optional<int> HandleArguments(const std::vector<std::string>& args, const std::string& version,
                                   std::ostream& out, std::ostream& err);

}  // namespace options
