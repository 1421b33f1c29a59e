// A line that goes away, and one that only looks as if it did, on real
// pseudo-terminals: the test holds the master, the port opens the slave.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <termios.h>

#include "tests/comm/CommTestSupport.h"

using namespace commapi;

namespace {

class LineLoss : public PtyPortTest {
protected:
    // Every OnRxChar reads what it is told of; failures and a lost line land in the log too.
    void ReadIntoLog() { ::ReadIntoLog(Port, Log); }

    std::vector<std::string> Log;
};

TEST_F(LineLoss, BytesThatArrivedBeforeAHangUpAreReadFirst) {
    Port.Open();
    ReadIntoLog();
    Pty.SendText("reply");
    // The kernel drops what the slave has not read when the master closes:
    // wait until the port holds the reply, its dispatch still queued.
    ASSERT_TRUE(WaitWithoutEvents([&] { return Port.InQueCount() == 5; }));
    Pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return Log.size() >= 2; }));
    EXPECT_EQ(Log, (std::vector<std::string>{"read reply", "lost 31"}));
    char buffer[4];
    ExpectCommError([&] { Port.Read(buffer, sizeof buffer); }, "Read error (Error: 31) ", 31);
}

TEST_F(LineLoss, ZeroLengthReadsSetUpByAnotherProgramAreNoHangUp) {
    Port.Open();
    ReadIntoLog();
    // What `stty min 0` does: a termios call on the master applies to the slave.
    termios t{};
    ASSERT_EQ(tcgetattr(Pty.MasterFd(), &t), 0);
    t.c_cc[VMIN] = 0;
    ASSERT_EQ(tcsetattr(Pty.MasterFd(), TCSANOW, &t), 0);
    char buffer[8];
    EXPECT_EQ(Port.Read(buffer, sizeof buffer), 0);
    Pty.SendText("abc");
    ASSERT_TRUE(WaitFor([&] { return !Log.empty(); }));
    EXPECT_EQ(Log, std::vector<std::string>{"read abc"});
    EXPECT_EQ(Port.Write("ok", 2), 2);
    EXPECT_EQ(Pty.ReceiveText(2), "ok");
    PumpFor(100);
    EXPECT_EQ(Log.size(), 1u) << "no lost line";
}

TEST_F(LineLoss, IdlePortLearnsOfALostLineOnceAndMayCloseInTheHandler) {
    Port.Open();
    std::vector<int32_t> codes;
    bool onMain = true;
    Port.OnLineLost = [&](TObject* sender, int32_t code) {
        EXPECT_EQ(sender, static_cast<TObject*>(&Port));
        codes.push_back(code);
        onMain = onMain && OnMainThread();
        Port.Close();  // what the console does
    };
    Pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return !codes.empty(); }, 5000));
    EXPECT_TRUE(IsLineGoneError(codes[0])) << codes[0];
    EXPECT_TRUE(onMain);
    EXPECT_FALSE(Port.Enabled());

    TPtyPair next;  // the same port on a new line works, and is watched anew
    Port.SetDeviceName(next.SlavePath());
    Port.Open();
    ReadIntoLog();
    next.SendText("hi");
    ASSERT_TRUE(WaitFor([&] { return !Log.empty(); }));
    EXPECT_EQ(Port.Write("ok", 2), 2);
    EXPECT_EQ(next.ReceiveText(2), "ok");
    next.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return Log.size() >= 2; }, 5000));
    EXPECT_EQ(Log, (std::vector<std::string>{"read hi", "lost 31"}));
    EXPECT_EQ(codes.size(), 1u);
}

TEST_F(LineLoss, PortClosedBeforeTheReportRanNeverGetsIt) {
    Port.Open();
    int calls = 0;
    Port.OnLineLost = [&](TObject*, int32_t) { ++calls; };
    Pty.CloseMaster();
    SleepMs(300);  // lets the report be queued; the outcome is the same if it is not yet
    Port.Close();
    PumpFor(300);
    EXPECT_EQ(calls, 0);
}

}  // namespace
