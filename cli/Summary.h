// The summary on standard output: one line a port (port, identification,
// status, result, what differed) as an aligned table, or a JSON array.
#pragma once

#include <vector>

#include <QByteArray>

#include "cli/Commands.h"

namespace cli {

QByteArray SummaryTable(const std::vector<TDeviceResult>& results);
QByteArray SummaryJson(const std::vector<TDeviceResult>& results);

}  // namespace cli
