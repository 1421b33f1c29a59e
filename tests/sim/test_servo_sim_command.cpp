// The servo-sim command: its arguments and the program itself.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "sim/CommandLine.h"
#include "sim/CommandTable.h"
#include "sim/Controller.h"
#include "tests/sim/SimChild.h"
#include "tests/support/PtyPair.h"

namespace {

using TBytes = std::vector<uint8_t>;

constexpr int StartMs = 10000;
constexpr int ExitMs = 10000;

TEST(ServoSimCommand, AnswersHelpAndVersion) {
    const struct {
        std::vector<std::string> Args;
        std::vector<std::string> Parts;  // all in the output
    } cases[] = {
        {{"--help"}, {"Usage: servo-sim", "--refuse", "--version", "--plant"}},
        {{"--version"}, {"servo-sim " SERVO_PROJECT_VERSION "\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args[0]);
        TSimChild child(c.Args);
        ASSERT_TRUE(child.Started());
        const std::string text = child.ReadAll(StartMs);
        EXPECT_EQ(child.Wait(ExitMs), 0);
        for (const std::string& part : c.Parts) EXPECT_NE(text.find(part), std::string::npos) << text;
    }
}

TEST(ServoSimCommand, PrintsAUsablePtyPathAndStopsOnSigterm) {
    TSimChild child({"--refuse", "W"});
    std::string path;
    ASSERT_TRUE(child.ReadLine(path, StartMs));
    {
        testsupport::TLineEnd slave = testsupport::TLineEnd::OpenRaw(path);
        ASSERT_TRUE(slave.IsOpen()) << path;
        EXPECT_EQ(slave.Exchange({0xFF}, 1), (TBytes{'X'}));
        EXPECT_EQ(slave.Exchange({'W', 3, 0, 1, 0}, 1), (TBytes{'-'}));
        EXPECT_EQ(slave.Exchange({'m', 0}, 2), (TBytes{0, '+'}));
    }
    EXPECT_EQ(child.Terminate(ExitMs), 0);
}

struct TArgsCase {
    std::vector<std::string> Args;
    bool Ok;
};

TEST(ServoSimCommand, ParsesItsArguments) {
    const sim::TCommandLine full = sim::ParseCommandLine(
        {"--baud", "9600", "--frame", "7e2", "--refuse", "WS", "--drop-every", "5", "--delay", "20",
         "--plant", "inertia=2,delay=5", "/dev/ttyUSB0"});
    EXPECT_TRUE(full.Error.empty()) << full.Error;
    EXPECT_FALSE(full.Help);
    EXPECT_FALSE(full.Version);
    EXPECT_TRUE(sim::ParseCommandLine({"--version"}).Version);
    EXPECT_EQ(full.TtyPath, "/dev/ttyUSB0");
    EXPECT_EQ(full.Faults.BaudRate, 9600u);
    EXPECT_EQ(full.Faults.Frame, (sim::TCharFrame{7, 'E', 2}));
    EXPECT_FALSE(sim::ParseCommandLine({}).Faults.Frame.has_value());
    EXPECT_EQ(full.Faults.RefuseCodes, "WS");
    EXPECT_EQ(full.Faults.DropEvery, 5u);
    EXPECT_EQ(full.Faults.DelayMs, 20u);
    EXPECT_EQ(full.Plant, sim::ParsePlant("inertia=2,delay=5"));
    EXPECT_NE(sim::ParseCommandLine({"--plant", "foo=1"}).Error.find("unknown key \"foo\""), std::string::npos);

    const std::vector<TArgsCase> cases = {
        {{}, true},
        {{"-h"}, true},
        {{"--version"}, true},
        {{"--version", "--nope"}, false},
        {{"--baud"}, false},
        {{"--baud", "fast"}, false},
        {{"--baud", "-5"}, false},
        {{"--delay", "12x"}, false},
        {{"--frame", "8O1"}, true},
        {{"--frame"}, false},
        {{"--frame", "9N1"}, false},
        {{"--frame", "8X1"}, false},
        {{"--frame", "8N3"}, false},
        {{"--frame", "8N1x"}, false},
        {{"--refuse", ""}, false},
        {{"--plant"}, false},
        {{"--plant", "delay=30"}, false},
        {{"/dev/a", "/dev/b"}, false},
        {{"--nope"}, false},
    };
    for (const TArgsCase& c : cases) {
        const sim::TCommandLine parsed = sim::ParseCommandLine(c.Args);
        EXPECT_EQ(parsed.Error.empty(), c.Ok) << (c.Args.empty() ? "" : c.Args[0]);
    }
}

// A field of /proc/<pid>/status in kilobytes; -1 when it cannot be read.
long StatusKb(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string name;
    long kb = -1;
    while (status >> name) {
        if (name == field + ":" && status >> kb) return kb;
        status.ignore(1 << 16, '\n');
    }
    return -1;
}

// Line noise without the probe byte and without 'I', so that later on only
// the test's own 'I' frame brings the identification back.
TBytes Garbage(size_t size) {
    TBytes bytes(size);
    uint32_t state = 12345;
    for (uint8_t& byte : bytes) {
        state = state * 1103515245 + 12345;
        byte = uint8_t(state >> 16);
        if (byte == sim::ProbeByte || byte == 'I') byte ^= 0x80;
    }
    return bytes;
}

// Reads everything that comes while asking for the identification now and
// again, until it arrives: then the program has served every byte written
// before it. Probes first bring the stream into step, whatever frame the
// garbage left open (the longest frame still swallows MaxPayload bytes).
bool IdentifiesAfterAll(testsupport::TLineEnd& line, int timeoutMs) {
    const std::string ident = std::string(sim::IdentText) + "+";
    TBytes query(sim::MaxPayload + 2, sim::ProbeByte);
    query.push_back('I');
    query.push_back(0);
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::milliseconds(timeoutMs);
    auto askAgain = start;
    std::string seen;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::chrono::steady_clock::now() >= askAgain) {
            if (!line.Write(query, timeoutMs)) return false;
            askAgain = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        }
        const TBytes got = line.ReadSome(100);
        seen.append(got.begin(), got.end());
        if (seen.find(ident) != std::string::npos) return true;
        if (seen.size() > ident.size()) seen.erase(0, seen.size() - ident.size());
    }
    return false;
}

// 10 MB of garbage and nobody reading the replies: the program holds a
// bounded frame log and a bounded output queue, so its peak resident size
// stays within a few megabytes of what it took to start.
TEST(ServoSimCommand, GarbageNobodyReadsDoesNotGrowTheProgram) {
    constexpr long GrowthLimitKb = 24 * 1024;
    TSimChild child({}, EnvironmentWithoutQuarantine());
    std::string path;
    ASSERT_TRUE(child.ReadLine(path, StartMs));
    testsupport::TLineEnd line = testsupport::TLineEnd::OpenRaw(path);
    ASSERT_TRUE(line.IsOpen()) << path;
    ASSERT_TRUE(line.Write({sim::ProbeByte}));
    ASSERT_EQ(line.Read(1, StartMs), (TBytes{'X'}));
    const long startKb = StatusKb(child.Pid(), "VmRSS");
    ASSERT_GT(startKb, 0);

    ASSERT_TRUE(line.Write(Garbage(10 << 20), 300000));  // ~45 s in a debug ASan build
    ASSERT_TRUE(IdentifiesAfterAll(line, 120000));
    const long peakKb = StatusKb(child.Pid(), "VmHWM");
    EXPECT_LT(peakKb, startKb + GrowthLimitKb) << "started at " << startKb << " kB";
    EXPECT_EQ(child.Terminate(ExitMs), 0);
}

}  // namespace
