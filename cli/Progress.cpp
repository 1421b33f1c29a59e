#include "cli/Progress.h"

#include <iostream>
#include <mutex>

namespace cli {

void Progress(const std::string& port, const QString& text) {
    static std::mutex mutex;
    const std::string line = "servo-cli: " + port + ": " + text.toStdString() + "\n";
    const std::lock_guard lock(mutex);
    std::cerr << line << std::flush;
}

}  // namespace cli
