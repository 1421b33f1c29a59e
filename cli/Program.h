// A parsed command line run to its end: the parameter file checked, the
// simulators started, every port run, the summary printed. Main thread.
#pragma once

#include <iosfwd>

#include "cli/ExitCode.h"
#include "cli/Options.h"

namespace cli {

EExit Run(const TOptions& options, std::ostream& out, std::ostream& err);

// Port `index` of `count`'s output file: FILE itself for one port, else
// FILE with ".<index + 1>" before its extension.
QString OutputPath(const QString& file, size_t index, size_t count);

}  // namespace cli
