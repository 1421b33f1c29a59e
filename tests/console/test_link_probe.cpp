// The presence probe against a scripted device on the far end of the pty.
#include <atomic>
#include <mutex>
#include <thread>

#include <poll.h>
#include <unistd.h>

#include "tests/console/LinkFixture.h"
#include "tests/support/LinkInsight.h"

namespace {

// Answers the n-th probe byte with script[n] (the last entry repeats), on
// its own thread.
class TScriptedDevice {
public:
    TScriptedDevice(int master, std::vector<Bytes> script) : FMaster(master), FScript(std::move(script)) {
        FThread = std::thread([this] { Serve(); });
    }
    ~TScriptedDevice() {
        FStop = true;
        FThread.join();
    }
    int ProbesSeen() const { return FProbes; }
    int ProbesAnswered() const { return FAnswered; }
    size_t AnswerSize(int attempt) const { return FScript[std::min<size_t>(size_t(attempt), FScript.size() - 1)].size(); }
    Bytes OtherBytes() {
        std::lock_guard<std::mutex> lock(FMutex);
        return FOther;
    }

private:
    // Device thread.
    void Serve() {
        while (!FStop) {
            pollfd p{FMaster, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            uint8_t buf[64];
            const ssize_t n = read(FMaster, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) Answer(buf[i]);
        }
    }
    void Answer(uint8_t byte) {
        if (byte != 0xFF) {
            std::lock_guard<std::mutex> lock(FMutex);
            FOther.push_back(byte);
            return;
        }
        const Bytes& reply = FScript[std::min(size_t(FProbes.load()), FScript.size() - 1)];
        ++FProbes;
        if (!reply.empty()) (void)!write(FMaster, reply.data(), reply.size());
        ++FAnswered;
    }

    int FMaster;
    std::vector<Bytes> FScript;
    std::atomic<bool> FStop{false};
    std::atomic<int> FProbes{0};
    std::atomic<int> FAnswered{0};
    std::mutex FMutex;
    Bytes FOther;
    std::thread FThread;
};

struct ProbeCase {
    const char* name;
    std::vector<Bytes> script;
    bool found;
    int probes;
};

const ProbeCase kProbeCases[] = {
    {"answers X at once", {{'X'}}, true, 1},
    {"answers nothing", {{}}, false, 16},
    {"answers every probe with two bytes", {{'X', 'X'}}, false, 16},
    {"a byte other than X costs one attempt", {{'A'}, {'X'}}, true, 2},
    {"X on the last attempt", {{}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {'X'}}, true, 16},
    {"X one attempt too late", {{}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {'X'}}, false, 16},
    // Without the purge after the two bytes, the X would arrive behind them.
    {"several bytes are purged before the next attempt", {{'A', 'B'}, {'X'}}, true, 2},
    {"silence, then several, then X", {{}, {'1', '2', '3'}, {'X'}}, true, 3},
};

class LinkProbe : public LinkOnPty {
protected:
    // The probe's pause ends once the device has answered this attempt and
    // its answer waits in the port, not after 10 ms of a clock that a loaded
    // machine may not give the device.
    void PauseFor(const TScriptedDevice& device) {
        Link->SetProbePause([this, &device, attempt = 0](int ms) mutable {
            EXPECT_EQ(ms, 10);
            ++attempt;
            const size_t size = device.AnswerSize(attempt - 1);
            EXPECT_TRUE(testsupport::WaitWithoutEvents([&] { return device.ProbesAnswered() >= attempt; }));
            EXPECT_TRUE(testsupport::WaitWithoutEvents([&] { return size_t(Port.InQueCount()) >= size; }));
        });
    }
};

TEST_F(LinkProbe, ScriptedDevices) {
    BindReceiveHandler();  // as the window has it: events during the probe must not disturb it
    for (const ProbeCase& c : kProbeCases) {
        SCOPED_TRACE(c.name);
        Inside(*Link).FLinkState = lsTimedOut;
        Inside(*Link).FCmdFrame[0] = 'p';
        bool found = false;
        {
            TScriptedDevice device(Device.MasterFd(), c.script);
            PauseFor(device);
            found = Link->ProbeController();
            PumpFor(50);  // the receive events queued meanwhile run in this spell, and must change nothing
            EXPECT_EQ(device.ProbesSeen(), c.probes);
            EXPECT_EQ(device.OtherBytes(), Bytes{});  // nothing but 0xFF bytes
        }
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(Inside(*Link).FLinkState, lsDone);
        EXPECT_EQ(Inside(*Link).FCmdFrame[0], 0xFF);
        EXPECT_FALSE(Link->tmrTimeout.isActive());
        EXPECT_EQ(Listener.ReadErrors, 0);
        EXPECT_EQ(Listener.DecodedCount(), 0u);
        Port.PurgeIn();
    }
}

}  // namespace
