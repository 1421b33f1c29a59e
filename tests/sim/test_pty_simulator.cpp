// The simulator on a real pseudo-terminal, end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "sim/Controller.h"
#include "sim/PtySimulator.h"
#include "tests/support/PtyPair.h"

namespace {

using namespace std::chrono_literals;
using TBytes = std::vector<uint8_t>;

class PtySimulator : public testing::Test {
protected:
    void SetUp() override { StartWith({sim::EClockKind::Stepped, "", {}}); }

    void StartWith(sim::TSimOptions options) {
        Sim = std::make_unique<sim::TPtySimulator>(std::move(options));
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
        Line = std::make_unique<testsupport::TLineEnd>(testsupport::TLineEnd::OpenRaw(Sim->Path()));
        ASSERT_TRUE(Line->IsOpen());
    }

    std::unique_ptr<sim::TPtySimulator> Sim;
    std::unique_ptr<testsupport::TLineEnd> Line;
};

TEST_F(PtySimulator, AnswersFramesWrittenOnTheSlave) {
    EXPECT_TRUE(Sim->Running());
    EXPECT_EQ(Sim->Path().rfind("/dev/pts/", 0), 0u) << Sim->Path();
    EXPECT_EQ(Line->Exchange({0xFF}, 1), (TBytes{'X'}));
    EXPECT_EQ(Line->Exchange({'R', 1, 1}, 3), (TBytes{0x00, 0x01, '+'}));
    const std::string ident = std::string(sim::IdentText) + "+";
    EXPECT_EQ(Line->Exchange({'I', 0}, ident.size()), TBytes(ident.begin(), ident.end()));
    // A frame written in two pieces with a pause between them (a stimulus:
    // a slow machine only lengthens it).
    Line->Write({'W', 3, 0});
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(Line->Exchange({0x10, 0x00}, 1), (TBytes{'+'}));
    EXPECT_EQ(Sim->ProbeCount(), 1u);
    EXPECT_EQ(Sim->Frames(), (std::vector<sim::TFrame>{
                                 {'R', {1}}, {'I', {}}, {'W', {0, 0x10, 0x00}}}));
    EXPECT_EQ(Sim->State().Params[0], 0x10);
}

TEST(PtySimulatorRaw, SlaveIsRawAndTheRepliesAreNotEchoedBack) {
    sim::TPtySimulator simulator({sim::EClockKind::Stepped, "", {}});
    ASSERT_TRUE(simulator.Start());
    const int fd = open(simulator.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);  // as the simulator left it
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON), 0u);
    testsupport::TLineEnd line(fd);
    // 0x0D would turn into 0x0A with ICRNL; 0x03 would raise SIGINT with ISIG.
    EXPECT_EQ(line.Exchange({'W', 3, 2, 0x0D, 0x03}, 1), (TBytes{'+'}));
    EXPECT_EQ(simulator.State().Params[2], 0x030D);
    EXPECT_TRUE(line.Read(4096, 100).empty());
    EXPECT_EQ(simulator.FrameCount(), 1u);
}

TEST_F(PtySimulator, SurvivesTheConsoleClosingAndReopeningTheSlave) {
    EXPECT_EQ(Line->Exchange({0xFF}, 1), (TBytes{'X'}));
    Line.reset();
    std::this_thread::sleep_for(50ms);  // the simulator meets the closed slave in this spell
    Line = std::make_unique<testsupport::TLineEnd>(testsupport::TLineEnd::OpenRaw(Sim->Path()));
    EXPECT_EQ(Line->Exchange({0xFF}, 1), (TBytes{'X'}));
    EXPECT_TRUE(Sim->Running());
}

TEST_F(PtySimulator, FrameLogWaitsAndClears) {
    EXPECT_FALSE(Sim->WaitForFrames(1, 50ms));
    std::thread writer([this] {
        std::this_thread::sleep_for(30ms);  // the frames come while the wait below is under way
        Line->Write({'m', 0, 'p', 0});
    });
    EXPECT_TRUE(Sim->WaitForFrames(2, 5000ms));
    writer.join();
    EXPECT_EQ(Sim->FrameCount(), 2u);
    Sim->ClearFrames();
    EXPECT_EQ(Sim->FrameCount(), 0u);
}

// A long run: the log keeps only its window while the counts, and the wait
// on them, take in every frame.
TEST_F(PtySimulator, FrameLogKeepsAWindowWhileTheCountsGoOn) {
    sim::TSimOptions options{sim::EClockKind::Stepped, "", {}};
    options.FrameLogLimit = 8;
    StartWith(options);
    TBytes input;
    for (uint8_t i = 0; i < 20; ++i) input.insert(input.end(), {0xFF, 'R', 1, i});
    input.insert(input.end(), {'m', 0});
    ASSERT_TRUE(Line->Write(input));
    ASSERT_TRUE(Sim->WaitForFrames(21, 10s));
    EXPECT_EQ(Sim->FrameCount(), 21u);
    EXPECT_EQ(Sim->FrameCount('R'), 20u);
    EXPECT_EQ(Sim->ProbeCount(), 20u);
    std::vector<sim::TFrame> recent;
    for (uint8_t i = 13; i < 20; ++i) recent.push_back({'R', {i}});
    recent.push_back({'m', {}});
    EXPECT_EQ(Sim->Frames(), recent);
}

// What the console's built-in simulator and servo-sim get.
TEST_F(PtySimulator, DefaultLogIsBounded) {
    const size_t sent = sim::DefaultFrameLogLimit + 100;
    TBytes input;
    for (size_t i = 0; i < sent; ++i) input.insert(input.end(), {'m', 0});
    ASSERT_TRUE(Line->Write(input));
    ASSERT_TRUE(Sim->WaitForFrames(sent, 10s));
    EXPECT_EQ(Sim->FrameCount(), sent);
    EXPECT_EQ(Sim->Frames().size(), sim::DefaultFrameLogLimit);
}

// Nobody reads while unknown codes are answered "-" one by one, far more than
// the pty holds: the simulator keeps no more than its limit, counts what it
// dropped, and once the console reads it gets every byte that was not dropped.
TEST_F(PtySimulator, OutputNobodyReadsIsBoundedAndCounted) {
    sim::TSimOptions options{sim::EClockKind::Stepped, "", {}};
    options.OutputLimit = 1000;
    StartWith(options);
    constexpr size_t Replies = 100000;
    TBytes input;
    for (size_t i = 0; i < Replies; ++i) input.insert(input.end(), {'a', 0});
    ASSERT_TRUE(Line->Write(input, 60000));
    ASSERT_TRUE(Sim->WaitForFrames(Replies, 60s));
    EXPECT_LE(Sim->QueuedOutputBytes(), 1000u);
    const uint64_t dropped = Sim->DroppedOutputBytes();
    EXPECT_GT(dropped, 0u);
    ASSERT_LE(dropped, Replies);
    const TBytes got = Line->Read(Replies - dropped, 30000);
    EXPECT_EQ(got.size(), Replies - dropped);
    EXPECT_EQ(size_t(std::count(got.begin(), got.end(), '-')), got.size());
    EXPECT_TRUE(Line->Read(4096, 100).empty());
}

TEST_F(PtySimulator, StateHooksShowOnTheWire) {
    Sim->SetPosition(-2);
    Sim->SetTarget(0x123456);
    Sim->SetMode(7);  // what the console does with an odd mode is its business
    Sim->SetParam(5, 0xBEEF);
    EXPECT_EQ(Line->Exchange({'p', 0}, 4), (TBytes{0xFE, 0xFF, 0xFF, '+'}));
    EXPECT_EQ(Line->Exchange({'z', 0}, 4), (TBytes{0x56, 0x34, 0x12, '+'}));
    EXPECT_EQ(Line->Exchange({'m', 0}, 2), (TBytes{7, '+'}));
    EXPECT_EQ(Line->Exchange({'R', 1, 5}, 3), (TBytes{0xEF, 0xBE, '+'}));
    sim::TParamSet bank = sim::DefaultParams;
    bank[1] = 512;
    Sim->SetBank(2, bank);
    EXPECT_EQ(Line->Exchange({'L', 1, 2, 'R', 1, 1}, 4), (TBytes{'+', 0x00, 0x02, '+'}));
    Line->Exchange({'B', 2, 0x9C, 0xFF}, 1);
    EXPECT_EQ(Sim->State().Drive, -100);
}

TEST_F(PtySimulator, SteppedClockMovesOnlyWhenAdvanced) {
    Line->Exchange({'M', 1, 2, 'B', 2, 100, 0}, 2);
    EXPECT_EQ(Line->Exchange({'V', 0}, 7), (TBytes{0, 0, 0, 0, 0, 0, '+'}));
    ASSERT_TRUE(Sim->AdvanceClock(2000));
    const TBytes sample = Line->Exchange({'V', 0}, 7);
    ASSERT_EQ(sample.size(), 7u);
    EXPECT_EQ(sample[0] | sample[1] << 8, 400);
    EXPECT_NEAR(int16_t(sample[2] | sample[3] << 8), 125, 1);
}

TEST(PtySimulatorWall, WallClockRunsByItselfAndCannotBeStepped) {
    sim::TPtySimulator simulator;
    ASSERT_TRUE(simulator.Start());
    EXPECT_FALSE(simulator.AdvanceClock(10));
    const uint16_t before = simulator.State().Tick;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (uint16_t(simulator.State().Tick - before) <= 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_GT(uint16_t(simulator.State().Tick - before), 5);
}

TEST_F(PtySimulator, DelayedReplyComesLate) {
    sim::TFaults faults;
    faults.DelayMs = 300;
    Sim->SetFaults(faults);
    const auto start = std::chrono::steady_clock::now();
    Line->Write({'m', 0});
    EXPECT_EQ(Line->Read(2), (TBytes{0, '+'}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 290ms);
}

TEST_F(PtySimulator, ChunkedReplyArrivesInPieces) {
    sim::TFaults faults;
    faults.ChunkBytes = 1;
    faults.ChunkGapMs = 150;
    Sim->SetFaults(faults);
    // Timed from the write, which comes before the simulator's clock starts
    // the gaps: a slow reader cannot shorten what is measured.
    const auto start = std::chrono::steady_clock::now();
    Line->Write({'p', 0});
    EXPECT_EQ(Line->Read(1), (TBytes{0}));  // asks for one byte: gets the first piece
    EXPECT_EQ(Line->Read(3), (TBytes{0, 0, '+'}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3 * 150ms - 10ms);  // three gaps after the first
}

TEST_F(PtySimulator, DroppedAndRefusedReplies) {
    sim::TFaults faults;
    faults.DropNext = 1;
    faults.RefuseCodes = "S";
    Sim->SetFaults(faults);
    Line->Write({'m', 0});
    EXPECT_TRUE(Line->Read(4096, 150).empty());
    EXPECT_EQ(Sim->Faults().DropNext, 0u);
    EXPECT_EQ(Line->Exchange({'S', 1, 0}, 1), (TBytes{'-'}));
    EXPECT_EQ(Line->Exchange({'m', 0}, 2), (TBytes{0, '+'}));
}

TEST_F(PtySimulator, FloodAndInjectedBytes) {
    Sim->Flood(300);
    const TBytes flood = Line->Read(300);
    ASSERT_EQ(flood.size(), 300u);
    EXPECT_EQ(std::count(flood.begin(), flood.end(), 0x55), 300);
    Sim->Inject({1, 2, 3});
    EXPECT_EQ(Line->Read(3), (TBytes{1, 2, 3}));
}

TEST_F(PtySimulator, HangUpClosesTheLine) {
    EXPECT_EQ(Line->Exchange({0xFF}, 1), (TBytes{'X'}));
    Sim->HangUp();
    EXPECT_FALSE(Sim->Running());
    pollfd pfd{Line->Fd(), POLLIN, 0};
    ASSERT_EQ(poll(&pfd, 1, 2000), 1);
    EXPECT_TRUE(pfd.revents & (POLLHUP | POLLERR));
    uint8_t byte;
    EXPECT_LE(read(Line->Fd(), &byte, 1), 0);
    EXPECT_EQ(Sim->ProbeCount(), 1u);  // the log outlives the line
}

TEST(PtySimulatorTty, ServesAnExistingTty) {
    // The test holds a pty master; the simulator serves the slave as its tty.
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    testsupport::TLineEnd far(master);
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);

    sim::TPtySimulator simulator({sim::EClockKind::Stepped, slave, {}});
    std::string error;
    ASSERT_TRUE(simulator.Start(&error)) << error;
    EXPECT_EQ(simulator.Path(), slave);
    EXPECT_EQ(far.Exchange({0xFF, 'm', 0}, 3), (TBytes{'X', 0, '+'}));
    simulator.Stop();
    EXPECT_FALSE(simulator.Running());
}

TEST(PtySimulatorTty, StartFailsWithAReason) {
    sim::TPtySimulator simulator({sim::EClockKind::Wall, "/dev/no-such-tty", {}});
    std::string error;
    EXPECT_FALSE(simulator.Start(&error));
    EXPECT_NE(error.find("/dev/no-such-tty"), std::string::npos) << error;
    EXPECT_FALSE(simulator.Running());
}

}  // namespace
