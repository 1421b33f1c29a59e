// The Linux provider's network devices against a server played by the test
// (tests/support/NetPeer.h): opening and its failures, the RFC 2217 messages
// the port's settings and purges become, 0xFF on the wire, the server's
// notifications as the port's events, its flow control, and a connection
// that ends as a line that went away.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/posix/NetDriver.h"
#include "comm/posix/NetResolve.h"
#include "comm/posix/Rfc2217.h"
#include "tests/comm/CommTestSupport.h"
#include "tests/support/NetPeer.h"

using namespace commapi;
using testsupport::Bytes;
using testsupport::TNetPeer;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A port on 127.0.0.1 where nothing listens.
uint16_t ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// The error code of the component's failed open, 0 when it opened.
int32_t OpenError(const std::string& name) {
    TComm port;
    port.SetDeviceName(name);
    try {
        port.Open();
    } catch (const ECommError& e) {
        return e.ErrorCode;
    }
    return 0;
}

TEST(NetOpen, FailuresGiveTheCodeOfTheCause) {
    const std::string closed = "127.0.0.1:" + std::to_string(ClosedPort());
    const struct {
        std::string name;
        DWORD code;
    } cases[] = {
        {"rfc2217://" + closed, ERROR_CONNECTION_REFUSED},
        {"socket://" + closed, ERROR_CONNECTION_REFUSED},
        {"rfc2217://127.0.0.1", ERROR_INVALID_NAME},
        {"socket://127.0.0.1:99999", ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpenError(c.name), int32_t(c.code)) << c.name;
        EXPECT_FALSE(IsLineGoneError(int32_t(c.code))) << "an open failure is no lost line";
    }
}

// Servers that will not serve: an rfc2217:// name at one that refuses or
// ignores the COM port option, a socket:// name at a Telnet server (it would
// take every 0xFF of a frame for a command, so the open is refused at once
// rather than any frame sent). A raw server that sends its device's bytes
// first is served.
TEST(NetOpen, ARawNameRefusesATelnetServerAndAServerThatClosesAtOnce) {
    using EMode = TNetPeer::EMode;
    const milliseconds rfcDeadline(500), rfcBound(3000);  // the silent server waits it out
    const milliseconds rawLimit = std::chrono::duration_cast<milliseconds>(posix::NetOpenLimit);
    const struct {
        EMode mode;
        TNetPeer::EAnswer answer;
        DWORD code;
        milliseconds deadline, bound;
    } cases[] = {
        // rfc2217:// at servers that will not serve the COM port option.
        {EMode::Rfc2217, TNetPeer::EAnswer::RefuseComPort, ERROR_NOT_SUPPORTED, rfcDeadline, rfcBound},
        {EMode::Rfc2217, TNetPeer::EAnswer::Silent, ERROR_NOT_SUPPORTED, rfcDeadline, rfcBound},  // a raw server
        {EMode::Rfc2217, TNetPeer::EAnswer::CloseAtQuery, ERROR_CONNECTION_ABORTED, rfcDeadline, rfcBound},
        {EMode::Raw, TNetPeer::EAnswer::Greet, ERROR_NOT_SUPPORTED, rawLimit, rawLimit},
        {EMode::Raw, TNetPeer::EAnswer::CloseAtOnce, ERROR_CONNECTION_ABORTED, rawLimit, rawLimit},
    };
    for (const auto& c : cases) {
        TNetPeer peer(c.mode, c.answer);
        const auto start = Clock::now();
        const auto driver = posix::TNetDriver::Open(peer.Name(), start + c.deadline);
        EXPECT_FALSE(driver) << int(c.answer);
        EXPECT_EQ(TCommApi::GetLastError(), c.code) << int(c.answer);
        EXPECT_LT(Clock::now() - start, c.bound) << "bounded by the deadline";
    }
    // The device's first bytes are served, and none of them is lost to the check.
    const Bytes firsts[] = {{0x55, 0xFF, 0xFB}, {0xFF, 0xFF, 0x01}, {0xFF}};
    for (const Bytes& first : firsts) {
        SCOPED_TRACE(&first - firsts);
        TNetPeer peer(TNetPeer::EMode::Raw);
        std::thread sender([&] {
            if (peer.WaitConnected()) peer.SendWire(first);
        });
        const auto driver = posix::TNetDriver::Open(peer.Name(), Clock::now() + posix::NetOpenLimit);
        sender.join();
        ASSERT_TRUE(driver) << "error " << TCommApi::GetLastError();
        Bytes got;
        EXPECT_TRUE(WaitFor([&] {
            uint8_t buffer[16];
            const auto result = driver->Read(buffer, sizeof buffer);
            got.insert(got.end(), buffer, buffer + result.bytes);
            return got.size() >= first.size();
        }));
        EXPECT_EQ(got, first);
    }
}

// A server that closes the first connection (it was still closing the
// console's last one) takes the next: the open tries again and succeeds.
TEST(NetOpen, AServerStillClosingTheLastConnectionIsTriedAgain) {
    TNetPeer peer(TNetPeer::EMode::Rfc2217, TNetPeer::EAnswer::CloseFirstAtQuery);
    const auto driver = posix::TNetDriver::Open(peer.Name(), Clock::now() + posix::NetOpenLimit);
    EXPECT_TRUE(driver) << "error " << TCommApi::GetLastError();
}

TEST(NetOpen, BothModesOpenAsCharacterDevices) {
    for (const TNetPeer::EMode mode : {TNetPeer::EMode::Raw, TNetPeer::EMode::Rfc2217}) {
        TNetPeer peer(mode);
        EXPECT_EQ(OpenError(peer.Name()), 0) << peer.Name();
        EXPECT_EQ(OpenError("localhost:" + std::to_string(peer.Port())), int32_t(ERROR_FILE_NOT_FOUND))
            << "without a scheme it is a local path";
    }
    TNetPeer peer(TNetPeer::EMode::Raw);
    const std::string byName = "socket://localhost:" + std::to_string(peer.Port());
    EXPECT_EQ(OpenError(byName), 0) << "a name is looked up";
}

// ------------------------------------------------------------------ name lookup

// A lookup that does not return until the test lets it.
std::mutex gLookupMutex;
std::condition_variable gLookupReleased;
bool gLookupRelease = false;
std::atomic<int> gLookups{0}, gLookupsEnded{0};

int HangingLookup(const char*, const char*, const addrinfo*, addrinfo** result) {
    ++gLookups;
    std::unique_lock lock(gLookupMutex);
    gLookupReleased.wait(lock, [] { return gLookupRelease; });
    *result = nullptr;
    ++gLookupsEnded;
    return EAI_NONAME;
}
int UnknownName(const char*, const char*, const addrinfo*, addrinfo** result) {
    ++gLookups;
    *result = nullptr;
    return EAI_NONAME;
}
void FreeNothing(addrinfo*) {}

TEST(NetResolve, ALookupThatHangsIsGivenUpAtTheDeadline) {
    gLookups = 0;
    const auto start = Clock::now();
    const posix::TResolved resolved =
        posix::Resolve("bench-pc.example", 7000, start + milliseconds(300), HangingLookup, FreeNothing);
    const auto took = Clock::now() - start;
    EXPECT_EQ(resolved.error, ERROR_SEM_TIMEOUT);
    EXPECT_GE(took, milliseconds(290));
    EXPECT_LT(took, milliseconds(3000));
    {
        std::lock_guard lock(gLookupMutex);
        gLookupRelease = true;
    }
    gLookupReleased.notify_all();
    // The abandoned lookup's thread ends by itself once its lookup returns.
    EXPECT_TRUE(WaitWithoutEvents([] { return gLookupsEnded == 1; }));
}

TEST(NetResolve, NamesAndNumericAddresses) {
    gLookups = 0;
    const auto deadline = Clock::now() + milliseconds(2000);
    EXPECT_EQ(posix::Resolve("nohost.example", 1, deadline, UnknownName, FreeNothing).error, ERROR_BAD_NET_NAME);
    EXPECT_EQ(gLookups, 1);
    for (const char* numeric : {"127.0.0.1", "::1", "10.1.2.3"}) {
        const posix::TResolved resolved = posix::Resolve(numeric, 7000, deadline, UnknownName, FreeNothing);
        EXPECT_EQ(resolved.error, ERROR_SUCCESS) << numeric;
        EXPECT_EQ(resolved.addresses.size(), 1u) << numeric;
    }
    EXPECT_EQ(gLookups, 1) << "numeric addresses never reach the resolver";
}

// ------------------------------------------------------------------ a port on a peer

class NetPort : public ::testing::Test {
protected:
    void Open(TNetPeer::EMode mode) {
        Peer = std::make_unique<TNetPeer>(mode);
        consoleline::Configure(Port);
        Port.SetDeviceName(Peer->Name());
        Port.Open();
        ASSERT_TRUE(Peer->WaitConnected());
        // The event thread selects its events after the open returns: once
        // the peer has answered that, its answers can no longer land inside
        // wire bytes a test writes itself.
        if (mode == TNetPeer::EMode::Rfc2217) {
            ASSERT_TRUE(Peer->WaitMessage(posix::rfc2217::SetModemStateMask));
        }
    }
    // Every OnRxChar reads what it is told of.
    void ReadIntoLog() { ::ReadIntoLog(Port, Log); }
    std::vector<Bytes> Messages(uint8_t command) {
        std::vector<Bytes> found;
        for (const Bytes& m : Peer->Messages())
            if (m[0] == command) found.push_back(m);
        return found;
    }

    std::unique_ptr<TNetPeer> Peer;
    TComm Port;
    std::vector<std::string> Log;
};

TEST_F(NetPort, TheConsolesLineSettingsTravelAsMessagesAndOnlyChangesFollow) {
    ASSERT_NO_FATAL_FAILURE(Open(TNetPeer::EMode::Rfc2217));
    using namespace posix::rfc2217;
    ASSERT_TRUE(Peer->WaitMessage(SetStopSize));
    // 38400 8N1, no flow control, DTR and RTS as the port leaves them.
    EXPECT_EQ(Messages(SetBaudRate).back(), (Bytes{SetBaudRate, 0, 0, 0x96, 0x00}));
    EXPECT_EQ(Messages(SetDataSize).back(), (Bytes{SetDataSize, 8}));
    EXPECT_EQ(Messages(SetParity).back(), (Bytes{SetParity, 1}));
    EXPECT_EQ(Messages(SetStopSize).back(), (Bytes{SetStopSize, 1}));
    const std::vector<Bytes> controls = Messages(SetControl);
    ASSERT_GE(controls.size(), 2u);
    EXPECT_EQ(controls[0], (Bytes{SetControl, FlowNone}));
    EXPECT_EQ(controls[1], (Bytes{SetControl, InboundFlowNone}));
    EXPECT_FALSE(Messages(SetLineStateMask).empty()) << "line errors are asked for";

    const size_t before = Peer->Messages().size();
    Port.SetParity(paEven);
    ASSERT_TRUE(WaitFor([&] { return Peer->Messages().size() > before; }));
    PumpFor(100);  // anything else it sent would be here by now
    const std::vector<Bytes> after = Peer->Messages();
    EXPECT_EQ(std::vector<Bytes>(after.begin() + long(before), after.end()),
              std::vector<Bytes>{(Bytes{SetParity, 3})});
}

TEST_F(NetPort, PurgesBecomePurgeDataAndEmptyTheQueue) {
    ASSERT_NO_FATAL_FAILURE(Open(TNetPeer::EMode::Rfc2217));
    using namespace posix::rfc2217;
    Peer->SendText("stale");
    ASSERT_TRUE(WaitWithoutEvents([&] { return Port.InQueCount() == 5; }));
    Port.PurgeIn();
    EXPECT_EQ(Port.InQueCount(), 0);
    Port.PurgeOut();
    ASSERT_TRUE(Peer->WaitMessage(PurgeData));
    ASSERT_TRUE(WaitFor([&] { return Messages(PurgeData).size() >= 2; }));
    const std::vector<Bytes> purges = Messages(PurgeData);
    EXPECT_EQ(purges[purges.size() - 2], (Bytes{PurgeData, 1})) << "the receive side";
    EXPECT_EQ(purges.back(), (Bytes{PurgeData, 2})) << "the transmit side";
}

TEST_F(NetPort, FfBytesCrossTheWireAsOneByteEachWay) {
    for (const TNetPeer::EMode mode : {TNetPeer::EMode::Raw, TNetPeer::EMode::Rfc2217}) {
        Port.Close();
        ASSERT_NO_FATAL_FAILURE(Open(mode));
        const uint8_t probe[] = {0xFF, 'A', 0xFF, 0xFF};
        ASSERT_EQ(Port.Write(probe, sizeof probe), 4);
        EXPECT_EQ(Peer->Receive(4), (Bytes{0xFF, 'A', 0xFF, 0xFF})) << Peer->Name();
        Peer->Send({0xFF, 'X', 0xFF});
        ASSERT_TRUE(WaitWithoutEvents([&] { return Port.InQueCount() == 3; })) << "counts data bytes only";
        uint8_t got[3] = {};
        ASSERT_EQ(Port.Read(got, 3), 3);
        EXPECT_EQ(Bytes(got, got + 3), (Bytes{0xFF, 'X', 0xFF})) << Peer->Name();
    }
}

// Megabytes of 0xFF while the server reads nothing: the socket takes the
// doubled bytes in pieces as it finds room. Once the server reads again,
// every byte arrives once (the cut inside a pair is EscapedProgress's, tested
// with the codec).
TEST(NetWrite, ABackedUpWriteOfFfBytesArrivesWhole) {
    TNetPeer peer(TNetPeer::EMode::Rfc2217);
    TCommApi& api = LinuxProvider();
    const HANDLE file = api.CreateFileA(peer.Name().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << TCommApi::GetLastError();
    OVERLAPPED ov{};
    ov.hEvent = api.CreateEventA(nullptr, 1, 0, nullptr);
    const std::string data(size_t(8) << 20, '\xff');
    peer.Hold(true);
    DWORD written = 0;
    ASSERT_FALSE(api.WriteFile(file, data.data(), DWORD(data.size()), &written, &ov));
    ASSERT_EQ(TCommApi::GetLastError(), ERROR_IO_PENDING);
    peer.Hold(false);
    ASSERT_EQ(api.WaitForSingleObject(ov.hEvent, 30000), WAIT_OBJECT_0);
    ASSERT_TRUE(api.GetOverlappedResult(file, &ov, &written, 0));
    EXPECT_EQ(written, data.size());
    // What the device still holds (half a pair) goes out as a wait pumps it,
    // as the port's event thread always does.
    OVERLAPPED wait{};
    wait.hEvent = api.CreateEventA(nullptr, 1, 0, nullptr);
    DWORD mask = 0;
    ASSERT_TRUE(api.SetCommMask(file, EV_RXCHAR));
    api.WaitCommEvent(file, &mask, &wait);
    testsupport::Bytes got;
    for (int i = 0; i < 300 && got.size() < data.size(); ++i) {
        api.WaitForSingleObject(wait.hEvent, 10);
        const testsupport::Bytes more = peer.Receive(data.size() - got.size(), 90);
        got.insert(got.end(), more.begin(), more.end());
    }
    EXPECT_EQ(got.size(), data.size());
    EXPECT_EQ(size_t(std::count(got.begin(), got.end(), 0xFF)), got.size());
    api.CloseHandle(file);
    api.CloseHandle(ov.hEvent);
    api.CloseHandle(wait.hEvent);
}

// A notification and an escaped 0xFF cut across segments anywhere: only the
// data reaches the port.
TEST_F(NetPort, CommandsSplitAcrossSegmentsNeverLeakIntoTheData) {
    ASSERT_NO_FATAL_FAILURE(Open(TNetPeer::EMode::Rfc2217));
    const Bytes wire = {'a', 0xFF, 0xFF, 0xFF, 250, 44, 107, 0x00, 0xFF, 240, 'b', 0xFF, 253, 3, 'c'};
    std::string all;
    for (size_t cut = 1; cut < wire.size(); ++cut) {
        Peer->SendWire(Bytes(wire.begin(), wire.begin() + long(cut)));
        ASSERT_TRUE(WaitWithoutEvents([&] { return Port.InQueCount() >= (cut >= 3 ? 2 : 1); }));
        Peer->SendWire(Bytes(wire.begin() + long(cut), wire.end()));
        ASSERT_TRUE(WaitWithoutEvents([&] { return Port.InQueCount() == 4; })) << "cut at " << cut;
        char got[4];
        ASSERT_EQ(Port.Read(got, 4), 4);
        EXPECT_EQ(std::string(got, 4), "a\xff" "bc") << "cut at " << cut;
    }
}

TEST_F(NetPort, TheServersNotificationsAreThePortsEvents) {
    ASSERT_NO_FATAL_FAILURE(Open(TNetPeer::EMode::Rfc2217));
    std::vector<std::string> events;
    Port.OnBreak = [&](TObject*) { events.push_back("break"); };
    Port.OnError = [&](TObject*, int32_t errors) { events.push_back("error " + std::to_string(errors)); };
    Peer->SendWire({0xFF, 250, 44, 106, 0x10, 0xFF, 240});
    ASSERT_TRUE(WaitFor([&] { return !events.empty(); }));
    Peer->SendWire({0xFF, 250, 44, 106, 0x08, 0xFF, 240});
    ASSERT_TRUE(WaitFor([&] { return events.size() >= 2; }));
    EXPECT_EQ(events, (std::vector<std::string>{"break", "error " + std::to_string(CE_FRAME)}));
}

TEST_F(NetPort, TheServersFlowControlHoldsWritesBack) {
    ASSERT_NO_FATAL_FAILURE(Open(TNetPeer::EMode::Rfc2217));
    using namespace posix::rfc2217;
    ASSERT_TRUE(Peer->WaitMessage(SetStopSize));
    Peer->SendWire({0xFF, 250, 44, ServerOffset + FlowControlSuspend, 0xFF, 240});
    // The suspension is seen by the next look at the line.
    ASSERT_TRUE(WaitWithoutEvents([&] { return Port.InQueCount() == 0; }));
    PumpFor(50);
    EXPECT_EQ(Port.Write("held", 4), -1) << "not sent within the write time-out";
    Peer->SendWire({0xFF, 250, 44, ServerOffset + FlowControlResume, 0xFF, 240});
    PumpFor(50);
    ASSERT_EQ(Port.Write("go", 2), 2);
    EXPECT_EQ(Peer->ReceiveText(2), "go");
}

// As a pty whose master closes (test_pty_line_loss.cpp): the bytes that came
// first are read, then the line is reported lost once, with the same code.
TEST_F(NetPort, AClosedOrResetConnectionIsALineThatWentAway) {
    for (const bool reset : {false, true}) {
        for (const TNetPeer::EMode mode : {TNetPeer::EMode::Raw, TNetPeer::EMode::Rfc2217}) {
            Port.Close();
            Log.clear();
            ASSERT_NO_FATAL_FAILURE(Open(mode));
            ReadIntoLog();
            Peer->SendText("reply");
            ASSERT_TRUE(WaitFor([&] { return !Log.empty(); }));
            if (reset) Peer->Reset();
            else Peer->Close();
            ASSERT_TRUE(WaitFor([&] { return Log.size() >= 2; })) << Peer->Name();
            EXPECT_EQ(Log, (std::vector<std::string>{"read reply", "lost 31"})) << Peer->Name() << reset;
            char buffer[4];
            ExpectCommError([&] { Port.Read(buffer, sizeof buffer); }, "Read error (Error: 31) ", 31);
            PumpFor(50);
            EXPECT_EQ(Log.size(), 2u) << "reported once";
        }
    }
}

}  // namespace
