#include "bench/SimProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

namespace {

constexpr int StartTimeoutMs = 5000;

// Reads up to the first newline; false when none comes in time.
bool ReadLine(int fd, std::string& line) {
    char c = 0;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, StartTimeoutMs) <= 0) return false;
        if (read(fd, &c, 1) != 1) return false;
        if (c == '\n') return true;
        line += c;
    }
}

}  // namespace

TSimProcess::~TSimProcess() { Stop(); }

bool TSimProcess::Start(const std::vector<std::string>& options, std::string* error) {
    int out[2];
    if (pipe(out) != 0) {
        if (error) *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> args{SERVO_SIM_BINARY};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        FPid = -1;
        if (error) *error = std::string("spawn ") + argv[0] + ": " + std::strerror(spawned);
        return false;
    }
    const bool read = ReadLine(out[0], FPath);
    close(out[0]);
    if (!read || FPath.empty()) {
        if (error) *error = "servo-sim printed no pty path";
        Stop();
        return false;
    }
    return true;
}

void TSimProcess::Stop() {
    if (FPid <= 0) return;
    kill(FPid, SIGTERM);
    int status = 0;
    waitpid(FPid, &status, 0);
    FPid = -1;
}

}  // namespace bench
