// The port through the Linux provider on a real pseudo-terminal: the test
// holds the master, the port opens the slave path.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>

#include "comm/posix/PosixLine.h"
#include "tests/comm/CommTestSupport.h"

using namespace commapi;

namespace {

class PtyPort : public PtyPortTest {
protected:
    // Line settings as the master sees them (they are the slave's).
    posix::TLineSettings Line() {
        posix::TLineSettings line;
        EXPECT_EQ(posix::ReadLineSettings(Pty.MasterFd(), line), 0);
        return line;
    }

    std::string ReadAll(size_t count) {
        std::string got(count, '\0');
        EXPECT_TRUE(WaitFor([&] { return Port.InQueCount() >= int32_t(count); }));
        got.resize(size_t(std::max(0, Port.Read(got.data(), int32_t(count)))));
        return got;
    }

};

TEST_F(PtyPort, OpensByPathWithTheWindowsSettings) {
    Port.Open();
    ASSERT_TRUE(Port.Enabled());
    const posix::TLineSettings line = Line();
    EXPECT_EQ(line.ospeed, 38400u);
    EXPECT_EQ(line.ispeed, 38400u);
    EXPECT_EQ(line.cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(line.cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.iflag & (IXON | IXOFF | INPCK | ICRNL), 0u);
    EXPECT_EQ(line.lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(Port.DataControlBlock().Flags, 0x0001u);
}

TEST_F(PtyPort, EveryBaudRateOfTheTableReachesTheLine) {
    Port.Open();
    const uint32_t bauds[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                              19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (int b = br110; b <= br256000; ++b) {
        Port.SetBaudRate(TBaudrate(b));
        EXPECT_EQ(Line().ospeed, bauds[b]);
        EXPECT_EQ(Line().ispeed, bauds[b]);
    }
    Port.SetStopbits(sb20);  // a pty keeps 8 data bits and no parity whatever it is told
    EXPECT_TRUE(Line().cflag & CSTOPB);
}

TEST_F(PtyPort, SettingsLinuxCannotDoAreRefusedAndLeaveTheLineAlone) {
    Port.Open();
    ExpectCommError([&] { Port.SetFlowControl(fcDTR); }, "Error updating DataControlBlock (Error: 87) ", 87);
    EXPECT_EQ(Line().ospeed, 38400u);
    Port.SetFlowControl(fcCTS);
    EXPECT_TRUE(Line().cflag & CRTSCTS);
}

// Over the device's RTS on, the handshake bits make the RTS field "toggle".
TEST_F(PtyPort, CtsHandshakeChosenBeforeOpenOpensTheLine) {
    Port.SetFlowControl(fcCTS);
    Port.Open();
    EXPECT_TRUE(Line().cflag & CRTSCTS);
    DCB dcb{};
    ASSERT_TRUE(LinuxProvider().GetCommState(Port.Handle(), &dcb));
    EXPECT_EQ(RtsControl(dcb), RTS_CONTROL_TOGGLE) << "read back as it was set";
    EXPECT_TRUE(dcb.Flags & DCB_fOutxCtsFlow);
    dcb.Flags &= ~DCB_fOutxCtsFlow;  // RTS only while sending: a pty cannot, and that is no error
    ASSERT_TRUE(LinuxProvider().SetCommState(Port.Handle(), &dcb));
    EXPECT_FALSE(Line().cflag & CRTSCTS);
    EXPECT_EQ(Port.Write("ok", 2), 2);
    EXPECT_EQ(Pty.ReceiveText(2), "ok");
}

TEST_F(PtyPort, RegularFileIsRefusedAndThePortStaysClosed) {
    char path[] = "/tmp/comm-test-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    const size_t fds = OpenFdCount();
    Port.SetDeviceName(path);
    ExpectCommError([&] { Port.Open(); }, "Invalid device handle, access denied (Error: -1) ", -1);
    EXPECT_FALSE(Port.Enabled());
    EXPECT_EQ(OpenFdCount(), fds);
    unlink(path);
}

TEST_F(PtyPort, MissingDeviceIsRefusedWithItsCode) {
    Port.SetDeviceName("/dev/no-such-serial-line");
    ExpectCommError([&] { Port.Open(); }, "Error accessing specified device (Error: 2) ", 2);
    EXPECT_FALSE(Port.Enabled());
}

TEST_F(PtyPort, SecondOpenOfTheSameLineIsRefused) {
    Port.Open();
    TComm second;
    second.SetDeviceName(Pty.SlavePath());
    ExpectCommError([&] { second.Open(); }, "Error accessing specified device (Error: 5) ", 5);
    EXPECT_FALSE(second.Enabled());
    EXPECT_EQ(Port.Write("ok", 2), 2);
    EXPECT_EQ(Pty.ReceiveText(2), "ok");
    Port.Close();
    second.Open();  // free again once closed
    EXPECT_TRUE(second.Enabled());
}

TEST_F(PtyPort, BytesTravelUnchangedBothWays) {
    Port.Open();
    const std::string out("\x00\x0d\x0a\xff\x11\x13\x03 R", 9);
    EXPECT_EQ(Port.Write(out.data(), int32_t(out.size())), int32_t(out.size()));
    EXPECT_EQ(Pty.ReceiveText(out.size()), out);
    const std::string in("\x7f\x0a\x0d\x00\x1a\x04\xfe", 7);
    Pty.SendText(in);
    EXPECT_EQ(ReadAll(in.size()), in);
}

TEST_F(PtyPort, ReadReturnsZeroAtOnceWhenNothingArrived) {
    Port.SetReadTimeout(5000);
    Port.Open();
    char buffer[16];
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Port.Read(buffer, sizeof buffer), 0);
    EXPECT_LT(clock.elapsed(), 2500) << "did not wait for the read time-out";
    EXPECT_EQ(Port.InQueCount(), 0);
}

TEST_F(PtyPort, InQueCountAndPurgeIn) {
    Port.Open();
    Pty.SendText("12345");
    ASSERT_TRUE(WaitFor([&] { return Port.InQueCount() == 5; }));
    char two[2];
    EXPECT_EQ(Port.Read(two, 2), 2);
    EXPECT_EQ(Port.InQueCount(), 3);
    Port.PurgeIn();
    EXPECT_EQ(Port.InQueCount(), 0);
    char rest[8];
    EXPECT_EQ(Port.Read(rest, sizeof rest), 0);
    Pty.SendText("ab");
    EXPECT_EQ(ReadAll(2), "ab");
}

TEST_F(PtyPort, OnRxCharRunsOnTheMainThreadWithEveryByteArrivedByThen) {
    Port.Open();
    std::vector<int32_t> counts;
    std::string data;
    bool onMain = true;
    Port.OnRxChar = [&](TObject* sender, int32_t count) {
        EXPECT_EQ(sender, static_cast<TObject*>(&Port));
        onMain = onMain && OnMainThread();
        counts.push_back(count);
        std::string chunk(size_t(count), '\0');
        chunk.resize(size_t(Port.Read(chunk.data(), count)));
        data += chunk;
    };
    Pty.SendText("a");
    SleepMs(200);  // the event is taken and its hand-over queued; the main thread is busy
    Pty.SendText("bcd");
    SleepMs(50);
    ASSERT_TRUE(WaitFor([&] { return data.size() == 4; }));
    PumpFor(100);  // the event for "bcd" finds the queue empty: no call
    EXPECT_EQ(counts, std::vector<int32_t>{4});
    EXPECT_EQ(data, "abcd");
    EXPECT_TRUE(onMain);
}

TEST_F(PtyPort, EventCharacterRaisesRxFlag) {
    Port.Open();
    Port.EventChars()->SetEvtChar('\r');
    THandlerLog log;
    log.Bind(Port);
    Port.OnRxChar = [&](TObject*, int32_t count) {
        char buffer[64];
        Port.Read(buffer, count);
        log.Calls.push_back("rxchar");
    };
    Pty.SendText("ab\r");
    ASSERT_TRUE(WaitFor([&] { return log.Calls.size() >= 2; }));
    EXPECT_EQ(log.Calls, (std::vector<std::string>{"rxchar", "rxflag"}));
    log.Calls.clear();
    Pty.SendText("cd");
    ASSERT_TRUE(WaitFor([&] { return !log.Calls.empty(); }));
    PumpFor(100);
    EXPECT_EQ(log.Calls, std::vector<std::string>{"rxchar"});
}

TEST_F(PtyPort, RaisingHandlerEndsDeliveryUntilReopen) {
    Port.Open();
    const size_t threads = ThreadCount();
    int calls = 0;
    Port.OnRxChar = [&](TObject*, int32_t) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    Pty.SendText("x");
    ASSERT_TRUE(WaitFor([&] { return calls == 1 && ThreadCount() < threads; })) << "the event thread ended";
    Pty.SendText("y");
    PumpFor(200);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Port.InQueCount(), 2) << "the port is still open";
    Port.Close();
    Port.OnRxChar = [&](TObject*, int32_t count) {
        ++calls;
        char buffer[8];
        Port.Read(buffer, count);
    };
    Port.Open();
    Pty.SendText("z");
    ASSERT_TRUE(WaitFor([&] { return calls == 2; }));
}

TEST_F(PtyPort, CloseWithAHandOverPendingReturnsAtOnce) {
    Port.Open();
    int calls = 0;
    Port.OnRxChar = [&](TObject*, int32_t) { ++calls; };
    Pty.SendText("x");
    SleepMs(200);  // hand-over queued, main thread not processing events
    QElapsedTimer clock;
    clock.start();
    Port.Close();
    EXPECT_LT(clock.elapsed(), 1000);
    PumpFor(200);
    EXPECT_EQ(calls, 0);
}

TEST_F(PtyPort, TimedOutWriteNoLongerUsesTheCallersBuffer) {
    Port.SetWriteTimeout(100);
    Port.Open();
    std::string buffer(1 << 20, 'A');  // far more than the pty holds while nobody reads
    EXPECT_EQ(Port.Write(buffer.data(), int32_t(buffer.size())), -1);
    std::fill(buffer.begin(), buffer.end(), 'B');
    const std::string arrived = testsupport::TextOf(Pty.Drain(200));
    EXPECT_GT(arrived.size(), 0u);
    EXPECT_LT(arrived.size(), buffer.size());
    EXPECT_EQ(arrived.find('B'), std::string::npos) << "bytes were taken from the buffer after Write returned";
    EXPECT_EQ(Port.Write("ok", 2), 2);
    EXPECT_EQ(Pty.ReceiveText(2), "ok");
}

TEST_F(PtyPort, NullStrippingDropsNulBytes) {
    Port.SetOptions(OptionBit(coNullStrip));
    Port.Open();
    Pty.SendText(std::string("a\0b\0\0c", 6));
    ASSERT_TRUE(WaitFor([&] { return Port.InQueCount() == 3; }));
    PumpFor(50);
    EXPECT_EQ(ReadAll(3), "abc");
    EXPECT_EQ(Port.InQueCount(), 0);
}

// The provider also honours total read time-outs, which the port itself never sets.
TEST_F(PtyPort, ProviderReadWithTotalTimeoutEndsWithWhatCame) {
    Port.Open();
    TCommApi& api = LinuxProvider();
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = 100;
    ASSERT_TRUE(api.SetCommTimeouts(Port.Handle(), &timeouts));
    const HANDLE event = api.CreateEventA(nullptr, 1, 0, nullptr);
    OVERLAPPED ov{};
    ov.hEvent = event;
    char buffer[10] = {};
    DWORD count = 0;
    Pty.SendText("xyz");
    SleepMs(50);
    EXPECT_FALSE(api.ReadFile(Port.Handle(), buffer, sizeof buffer, &count, &ov));
    EXPECT_EQ(TCommApi::GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(api.WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(api.GetOverlappedResult(Port.Handle(), &ov, &count, 0));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(std::string(buffer, 3), "xyz");

    Pty.SendText("0123456789");  // a full buffer completes before the time-out
    SleepMs(50);
    EXPECT_TRUE(api.ReadFile(Port.Handle(), buffer, sizeof buffer, &count, &ov));
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    api.CloseHandle(event);
}

}  // namespace
