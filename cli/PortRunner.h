// Every port's run at once: each port on a thread of its own, which makes,
// uses and destroys that port's TComm and TControllerLink and runs their
// events while the link waits for replies. The caller's thread waits for all.
#pragma once

#include <string>
#include <vector>

#include "cli/Commands.h"

namespace cli {

struct TPortJob {
    std::string port;    // as given
    std::string device;  // what is opened
    QString output;      // this port's output file, if any
    QString figures;     // this port's step figures file, if any
    QString trace;       // this port's traffic log, if any
};

std::vector<TDeviceResult> RunAll(const std::vector<TPortJob>& jobs, const TOptions& options,
                                  const std::optional<paramfile::TParamSet>& fileSet);

// The port's thread: connects, runs the command, reports the end.
TDeviceResult RunOne(const TPortJob& job, const TCommandInput& in);

}  // namespace cli
