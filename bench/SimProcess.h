// The simulated controller as a separate process (the servo-sim command), so
// that its CPU time is never counted as the console's.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace bench {

class TSimProcess {
public:
    ~TSimProcess();  // stops
    // Starts servo-sim with the options and reads the pty path it prints.
    bool Start(const std::vector<std::string>& options, std::string* error);
    void Stop();
    const std::string& Path() const { return FPath; }

private:
    pid_t FPid = -1;
    std::string FPath;
};

}  // namespace bench
