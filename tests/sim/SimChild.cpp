#include "tests/sim/SimChild.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

int LeftMs(TClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
    return std::max(0, int(left.count()));
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

TSimChild::TSimChild(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    std::vector<std::string> argStrings{SERVO_SIM_BINARY};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = env;
    // Built before fork: the child only calls what is safe after it.
    std::vector<char*> argv = Pointers(argStrings);
    std::vector<char*> envp = Pointers(envStrings);
    char** childEnv = env.empty() ? environ : envp.data();
    int fds[2];
    if (pipe(fds) != 0) return;
    const pid_t parent = getpid();
    FPid = fork();
    if (FPid == 0) {
        // Dies with the test even when a timeout kills the test outright.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execve(SERVO_SIM_BINARY, argv.data(), childEnv);
        _exit(127);
    }
    close(fds[1]);
    FOut = fds[0];
}

TSimChild::~TSimChild() {
    if (FPid > 0) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
    }
    if (FOut >= 0) close(FOut);
}

bool TSimChild::ReadChar(char& c, int timeoutMs) {
    pollfd pfd{FOut, POLLIN, 0};
    return poll(&pfd, 1, timeoutMs) == 1 && read(FOut, &c, 1) == 1;
}

bool TSimChild::ReadLine(std::string& line, int timeoutMs) {
    const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    line.clear();
    char c = 0;
    while (ReadChar(c, LeftMs(deadline))) {
        if (c == '\n') return true;
        line += c;
    }
    return false;
}

std::string TSimChild::ReadAll(int timeoutMs) {
    const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    std::string text;
    char c = 0;
    while (ReadChar(c, LeftMs(deadline))) text += c;
    return text;
}

int TSimChild::Wait(int timeoutMs) {
    if (FPid <= 0) return -1;
    const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(FPid, &status, WNOHANG)) == 0 && LeftMs(deadline) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done != FPid) return -1;  // the destructor kills it
    FPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int TSimChild::Terminate(int timeoutMs) {
    if (FPid > 0) kill(FPid, SIGTERM);
    return Wait(timeoutMs);
}

std::vector<std::string> EnvironmentWithoutQuarantine() {
    std::vector<std::string> env;
    std::string asan = "ASAN_OPTIONS=quarantine_size_mb=0";
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        if (text.rfind("ASAN_OPTIONS=", 0) == 0)
            asan = text + ":quarantine_size_mb=0";
        else
            env.push_back(text);
    }
    env.push_back(asan);
    return env;
}
