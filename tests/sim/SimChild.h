// The servo-sim program as a child process of a test, its stdout on a pipe.
// The child never outlives the object: a test that fails half-way leaves
// nothing running and nothing to wait for.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class TSimChild {
public:
    // env: the child's whole environment; empty passes the test's own on.
    explicit TSimChild(const std::vector<std::string>& args,
                       const std::vector<std::string>& env = {});
    ~TSimChild();  // kills and reaps a child still running
    TSimChild(const TSimChild&) = delete;
    TSimChild& operator=(const TSimChild&) = delete;

    bool Started() const { return FPid > 0; }
    pid_t Pid() const { return FPid; }
    // One line of stdout without its newline; false when none came in time.
    bool ReadLine(std::string& line, int timeoutMs);
    // All of stdout until the child closes it, or until timeoutMs passed.
    std::string ReadAll(int timeoutMs);
    // Exit code once the child ended, -1 when it did not exit normally
    // within timeoutMs (it is killed then).
    int Wait(int timeoutMs);
    int Terminate(int timeoutMs);  // SIGTERM, then Wait

private:
    bool ReadChar(char& c, int timeoutMs);
    pid_t FPid = -1;
    int FOut = -1;
};

// The test's environment with an AddressSanitizer build's quarantine of freed
// memory turned off, so that a child's resident size shows what it keeps.
std::vector<std::string> EnvironmentWithoutQuarantine();
