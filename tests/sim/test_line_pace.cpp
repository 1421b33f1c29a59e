// The simulator's line as a UART, timed through the stepped clock: the
// console's bytes are taken in, and the replies leave, one byte time apart,
// a byte time being the frame's bits at the baud rate.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <optional>
#include <stdlib.h>
#include <string>
#include <termios.h>

#include "sim/Controller.h"
#include "sim/LinePacer.h"
#include "sim/PtySimulator.h"
#include "sim/RxFifo.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Wait.h"

namespace {

using TBytes = std::vector<uint8_t>;

TEST(LinePacer, CarriesOneByteAtATime) {
    sim::TLinePacer pacer;
    pacer.SetByteNs(10'000);
    EXPECT_EQ(pacer.Carry(0, 9999, 5), 0u);
    EXPECT_EQ(pacer.NextDoneNs(), 10000);
    EXPECT_EQ(pacer.Carry(5000, 10000, 5), 1u);  // a later ready time does not hold up a busy line
    EXPECT_EQ(pacer.Carry(0, 35000, 4), 2u);
    EXPECT_EQ(pacer.NextDoneNs(), 40000);
    EXPECT_EQ(pacer.Carry(0, 60000, 2), 2u);  // a late look loses no line time
    EXPECT_EQ(pacer.LastDoneNs(), 50000);
    EXPECT_FALSE(pacer.NextDoneNs().has_value());
    EXPECT_EQ(pacer.Carry(100000, 109999, 1), 0u);  // an idle line starts at the ready time
    EXPECT_EQ(pacer.Carry(100000, 110000, 1), 1u);
    pacer.SetByteNs(0);
    EXPECT_EQ(pacer.Carry(0, 0, 7), 7u);
}

// A 16550-type receive FIFO: held bytes go over together at the trigger
// level, or four byte times after the last one came in.
TEST(RxFifo, HandsOverAtTheTriggerOrAfterFourQuietByteTimes) {
    sim::TRxFifo fifo;
    fifo.SetByteNs(1'000);
    fifo.SetTrigger(8);
    fifo.Put({1, 2, 3}, 3'000);
    EXPECT_EQ(fifo.NextTakeNs(), 7'000);
    EXPECT_TRUE(fifo.Take(6'999).empty());
    fifo.Put({4}, 4'000);  // a new byte restarts the time-out
    EXPECT_TRUE(fifo.Take(7'000).empty());
    EXPECT_EQ(fifo.Take(8'000), (TBytes{1, 2, 3, 4}));
    EXPECT_FALSE(fifo.NextTakeNs().has_value());

    fifo.Put({1, 2, 3, 4, 5, 6, 7}, 20'000);
    EXPECT_TRUE(fifo.Take(20'000).empty());
    fifo.Put({8, 9}, 22'000);  // the eighth byte reaches the trigger
    EXPECT_EQ(fifo.Take(22'000).size(), 9u);

    for (size_t trigger : {size_t{0}, size_t{1}}) {  // no FIFO: each byte as it comes
        fifo.SetTrigger(trigger);
        fifo.Put({7}, 30'000);
        EXPECT_EQ(fifo.Take(30'000), TBytes{7}) << trigger;
    }
    fifo.SetTrigger(8);
    fifo.SetByteNs(0);  // an unpaced line has no byte time to wait
    fifo.Put({7}, 0);
    EXPECT_EQ(fifo.Take(0), TBytes{7});
}

// A simulator on a stepped clock that only this test advances, from 0.
class LinePace : public testing::Test {
protected:
    void StartWith(uint32_t baud, std::optional<sim::TCharFrame> frame, uint32_t rxFifo = 0) {
        sim::TSimOptions options{sim::EClockKind::Stepped, "", {}};
        options.Faults.BaudRate = baud;
        options.Faults.Frame = frame;
        options.Faults.RxFifo = rxFifo;
        Sim = std::make_unique<sim::TPtySimulator>(std::move(options));
        FNowUs = 0;
        std::string error;
        ASSERT_TRUE(Sim->Start(&error)) << error;
        Line = std::make_unique<testsupport::TLineEnd>(testsupport::TLineEnd::OpenRaw(Sim->Path()));
        ASSERT_TRUE(Line->IsOpen());
    }
    // Writes a command and waits until the simulator has it on its line.
    void Send(const TBytes& command) {
        ASSERT_TRUE(Line->Write(command));
        ASSERT_TRUE(testsupport::WaitWithoutEvents(
            [&] { return Sim->InputOnLine() == command.size(); }));
    }
    void AdvanceTo(int64_t us) {
        ASSERT_TRUE(Sim->AdvanceClockUs(us - FNowUs));
        FNowUs = us;
    }

    std::unique_ptr<sim::TPtySimulator> Sim;
    std::unique_ptr<testsupport::TLineEnd> Line;

private:
    int64_t FNowUs = 0;
};

struct TPaceCase {
    uint32_t Baud;
    std::optional<sim::TCharFrame> Frame;  // nothing: the pty's default
    double ByteUs;                         // worked out by hand from the bits
};

// Every byte of one exchange, the command's and then the reply's, comes one
// byte time after the one before; each is checked a microsecond either side
// of its time (the rounding to whole microseconds).
TEST_F(LinePace, EveryByteOfAnExchangeTakesOneByteTime) {
    const TPaceCase cases[] = {
        {38400, std::nullopt, 260.417},             // 8N1: 10 bits
        {38400, sim::TCharFrame{8, 'E', 1}, 286.458},  // 11 bits
        {38400, sim::TCharFrame{8, 'N', 2}, 286.458},
        {9600, std::nullopt, 1041.667},
        {9600, sim::TCharFrame{8, 'E', 1}, 1145.833},
        {9600, sim::TCharFrame{8, 'N', 2}, 1145.833},
        {9600, sim::TCharFrame{7, 'E', 1}, 1041.667},
        {9600, sim::TCharFrame{8, 'O', 2}, 1250.000},  // 12 bits
    };
    const TBytes command = {'R', 1, 2};
    constexpr size_t ReplyBytes = 3;
    for (const TPaceCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Baud << " baud, " << c.ByteUs << " us a byte");
        ASSERT_NO_FATAL_FAILURE(StartWith(c.Baud, c.Frame));
        ASSERT_NO_FATAL_FAILURE(Send(command));
        for (size_t k = 1; k <= command.size(); ++k) {
            const auto due = int64_t(double(k) * c.ByteUs);
            AdvanceTo(due - 1);
            EXPECT_EQ(Sim->InputOnLine(), command.size() - k + 1) << "command byte " << k;
            AdvanceTo(due + 1);
            EXPECT_EQ(Sim->InputOnLine(), command.size() - k) << "command byte " << k;
        }
        EXPECT_EQ(Sim->FrameCount('R'), 1u);
        for (size_t k = 1; k <= ReplyBytes; ++k) {
            const auto due = int64_t(double(command.size() + k) * c.ByteUs);
            AdvanceTo(due - 1);
            EXPECT_EQ(Sim->QueuedOutputBytes(), ReplyBytes - k + 1) << "reply byte " << k;
            AdvanceTo(due + 1);
            EXPECT_EQ(Sim->QueuedOutputBytes(), ReplyBytes - k) << "reply byte " << k;
            EXPECT_EQ(Line->Read(1).size(), 1u) << "reply byte " << k;
        }
        EXPECT_TRUE(Line->Read(1, 100).empty());
    }
}

// Through a PC port's receive FIFO the reply arrives whole, four byte times
// after its last byte has left; a reply longer than the trigger level comes
// in pieces of the trigger's size and a remainder.
TEST_F(LinePace, AReceiveFifoHandsTheReplyOverInPieces) {
    constexpr double ByteUs = 1041.667;  // 9600 8N1
    ASSERT_NO_FATAL_FAILURE(StartWith(9600, std::nullopt, 8));
    ASSERT_NO_FATAL_FAILURE(Send({'R', 1, 2}));
    const auto whole = int64_t((3 + 3 + sim::TRxFifo::TimeoutChars) * ByteUs);
    AdvanceTo(whole - 2);
    EXPECT_EQ(Sim->QueuedOutputBytes(), 0u);  // all three have left...
    EXPECT_TRUE(Line->Read(1, 50).empty());   // ...and wait in the FIFO
    AdvanceTo(whole + 1);
    EXPECT_EQ(Line->Read(3).size(), 3u);

    ASSERT_NO_FATAL_FAILURE(Send({'I', 0}));  // the identification: more than 8 bytes
    const int64_t start = whole + 1;
    const size_t reply = sim::IdentText.size() + 1;
    const auto eighth = start + int64_t((2 + 8) * ByteUs);
    AdvanceTo(eighth - 2);
    EXPECT_TRUE(Line->Read(1, 50).empty());
    AdvanceTo(eighth + 1);
    EXPECT_EQ(Line->Read(8).size(), 8u);
    const auto sixteenth = start + int64_t((2 + 16) * ByteUs);
    AdvanceTo(sixteenth - 2);
    EXPECT_TRUE(Line->Read(1, 50).empty());
    AdvanceTo(sixteenth + 1);
    EXPECT_EQ(Line->Read(8).size(), 8u);
    const auto timeout = start + int64_t((2 + reply + sim::TRxFifo::TimeoutChars) * ByteUs);
    AdvanceTo(timeout - 2);
    EXPECT_TRUE(Line->Read(1, 50).empty());
    AdvanceTo(timeout + 1);
    EXPECT_EQ(Line->Read(reply - 16).size(), reply - 16);
}

// The engine sees a frame only once its last byte is in, however many.
TEST_F(LinePace, AFrameIsSeenOnlyAfterAllItsByteTimes) {
    ASSERT_NO_FATAL_FAILURE(StartWith(38400, std::nullopt));
    ASSERT_NO_FATAL_FAILURE(Send({'W', 3, 0, 0x10, 0x00}));
    AdvanceTo(1302 - 1);  // 5 x 260.417 us
    EXPECT_EQ(Sim->FrameCount(), 0u);
    EXPECT_EQ(Sim->InputOnLine(), 1u);
    AdvanceTo(1302 + 1);
    EXPECT_EQ(Sim->FrameCount(), 1u);
    EXPECT_EQ(Sim->State().Params[0], 0x10);
}

TEST_F(LinePace, UnpacedLineIsInstantWithoutTheClock) {
    ASSERT_NO_FATAL_FAILURE(StartWith(0, sim::TCharFrame{8, 'E', 2}));
    EXPECT_EQ(Line->Exchange({'V', 0, 'R', 1, 2}, 10).size(), 10u);
    EXPECT_EQ(Sim->FrameCount(), 2u);
    EXPECT_EQ(Sim->InputOnLine(), 0u);
    EXPECT_EQ(Sim->QueuedOutputBytes(), 0u);
}

// A served tty's own frame sets the pace when none is given: whoever set
// the tty to 8N2 after the simulator opened it gets 11 bits a byte. (A pty
// refuses parity, so the second stop bit makes the eleventh.)
TEST(LinePaceTty, TakesTheFrameFromTheTty) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    testsupport::TLineEnd far(master);
    sim::TSimOptions options{sim::EClockKind::Stepped, ptsname(master), {}};
    options.Faults.BaudRate = 9600;
    sim::TPtySimulator simulator(options);
    ASSERT_TRUE(simulator.Start());
    testsupport::TLineEnd setter(open(simulator.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    termios tio{};
    ASSERT_EQ(tcgetattr(setter.Fd(), &tio), 0);
    tio.c_cflag |= CSTOPB;
    ASSERT_EQ(tcsetattr(setter.Fd(), TCSANOW, &tio), 0);

    ASSERT_TRUE(far.Write({'V', 0}));
    ASSERT_TRUE(testsupport::WaitWithoutEvents([&] { return simulator.InputOnLine() == 2; }));
    ASSERT_TRUE(simulator.AdvanceClockUs(2084 + 1));  // two bytes at 8N1 would be in
    EXPECT_EQ(simulator.InputOnLine(), 1u);
    ASSERT_TRUE(simulator.AdvanceClockUs(2292 - 2085 + 1));  // 2 x 1145.833 us
    EXPECT_EQ(simulator.FrameCount('V'), 1u);
}

// On the wall clock the pace is real time: 2 bytes in and 20 out at 1200
// baud (120 bytes a second) take at least 183 ms; a slow machine only
// lengthens it.
TEST(LinePaceWall, TakesRealTimeBothWays) {
    sim::TSimOptions options;
    options.Faults.BaudRate = 1200;
    sim::TPtySimulator simulator(options);
    ASSERT_TRUE(simulator.Start());
    testsupport::TLineEnd line = testsupport::TLineEnd::OpenRaw(simulator.Path());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line.Exchange({'I', 0}, sim::IdentText.size() + 1).size(), sim::IdentText.size() + 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(180));
}

}  // namespace
