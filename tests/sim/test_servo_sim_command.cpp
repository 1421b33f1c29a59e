// The servo-sim command: its arguments and the program itself.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "CommandLine.h"
#include "SlaveLine.h"

namespace {

using TBytes = std::vector<uint8_t>;

struct TChild {
    pid_t Pid = -1;
    FILE* Out = nullptr;  // the child's stdout
};

// Starts servo-sim with the arguments, its stdout on a pipe.
TChild Spawn(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv{const_cast<char*>(SERVO_SIM_BINARY)};
        for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(SERVO_SIM_BINARY, argv.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fdopen(fds[0], "r")};
}

int ExitCode(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(FILE* file) {
    std::string text;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, file)) text += buffer;
    return text;
}

TEST(ServoSimCommand, HelpDescribesUsage) {
    TChild child = Spawn({"--help"});
    ASSERT_NE(child.Out, nullptr);
    const std::string text = ReadAll(child.Out);
    fclose(child.Out);
    EXPECT_EQ(ExitCode(child.Pid), 0);
    EXPECT_NE(text.find("Usage: servo-sim"), std::string::npos);
    EXPECT_NE(text.find("--refuse"), std::string::npos);
}

TEST(ServoSimCommand, PrintsAUsablePtyPathAndStopsOnSigterm) {
    TChild child = Spawn({"--refuse", "W"});
    ASSERT_NE(child.Out, nullptr);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, child.Out), nullptr);
    std::string path(line);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), '\n');
    path.pop_back();
    {
        TSlaveLine slave(path);
        ASSERT_TRUE(slave.IsOpen()) << path;
        EXPECT_EQ(slave.Exchange({0xFF}, 1), (TBytes{'X'}));
        EXPECT_EQ(slave.Exchange({'W', 3, 0, 1, 0}, 1), (TBytes{'-'}));
        EXPECT_EQ(slave.Exchange({'m', 0}, 2), (TBytes{0, '+'}));
    }
    kill(child.Pid, SIGTERM);
    EXPECT_EQ(ExitCode(child.Pid), 0);
    fclose(child.Out);
}

struct TArgsCase {
    std::vector<std::string> Args;
    bool Ok;
};

TEST(ServoSimCommand, ParsesItsArguments) {
    const sim::TCommandLine full = sim::ParseCommandLine(
        {"--baud", "9600", "--refuse", "WS", "--drop-every", "5", "--delay", "20", "/dev/ttyUSB0"});
    EXPECT_TRUE(full.Error.empty()) << full.Error;
    EXPECT_FALSE(full.Help);
    EXPECT_EQ(full.TtyPath, "/dev/ttyUSB0");
    EXPECT_EQ(full.Faults.BaudRate, 9600u);
    EXPECT_EQ(full.Faults.RefuseCodes, "WS");
    EXPECT_EQ(full.Faults.DropEvery, 5u);
    EXPECT_EQ(full.Faults.DelayMs, 20u);

    const std::vector<TArgsCase> cases = {
        {{}, true},
        {{"-h"}, true},
        {{"--baud"}, false},
        {{"--baud", "fast"}, false},
        {{"--baud", "-5"}, false},
        {{"--delay", "12x"}, false},
        {{"--refuse", ""}, false},
        {{"/dev/a", "/dev/b"}, false},
        {{"--nope"}, false},
    };
    for (const TArgsCase& c : cases) {
        const sim::TCommandLine parsed = sim::ParseCommandLine(c.Args);
        EXPECT_EQ(parsed.Error.empty(), c.Ok) << (c.Args.empty() ? "" : c.Args[0]);
    }
}

}  // namespace
