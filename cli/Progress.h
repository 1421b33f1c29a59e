// Progress lines on standard error, whole lines from any thread.
#pragma once

#include <string>

#include <QString>

namespace cli {

void Progress(const std::string& port, const QString& text);

}  // namespace cli
