#include "CommTestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        SleepMs(2);
    }
    return true;
}

static size_t CountEntries(const char* dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

size_t OpenFdCount() { return CountEntries("/proc/self/fd"); }
size_t ThreadCount() { return CountEntries("/proc/self/task"); }

double ProcessCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

bool OnMainThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// ------------------------------------------------------------------ pty

static void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + " failed, errno " + std::to_string(errno));
}

TPtyPair::TPtyPair() {
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    Check(FMaster >= 0, "posix_openpt");
    Check(grantpt(FMaster) == 0 && unlockpt(FMaster) == 0, "grantpt/unlockpt");
    char name[128];
    Check(ptsname_r(FMaster, name, sizeof name) == 0, "ptsname_r");
    FSlavePath = name;
}

TPtyPair::~TPtyPair() { CloseMaster(); }

void TPtyPair::CloseMaster() {
    if (FMaster >= 0) close(FMaster);
    FMaster = -1;
}

void TPtyPair::Send(const std::string& bytes) {
    Check(write(FMaster, bytes.data(), bytes.size()) == ssize_t(bytes.size()), "write master");
}

std::string TPtyPair::Receive(size_t count, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    std::string got;
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        pollfd p{FMaster, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        char buf[4096];
        const ssize_t n = read(FMaster, buf, std::min(sizeof buf, count - got.size()));
        if (n <= 0) break;
        got.append(buf, size_t(n));
    }
    return got;
}

std::string TPtyPair::Drain(int quietMs) {
    std::string got;
    for (;;) {
        pollfd p{FMaster, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0) return got;
        char buf[4096];
        const ssize_t n = read(FMaster, buf, sizeof buf);
        if (n <= 0) return got;
        got.append(buf, size_t(n));
    }
}

// ------------------------------------------------------------------ fake fixture

void FakePortTest::TearDown() {
    Port.reset();
    EXPECT_TRUE(PumpUntil([this] { return Api.OpenHandles() == 0; })) << "a handle of the fake stayed open";
}

void FakePortTest::AwaitPendingWait() {
    ASSERT_TRUE(PumpUntil([this] { return Api.HasPendingWait(); })) << "the event thread never waited";
}

void FakePortTest::AwaitQueuedHandOver(int completedWaitsBefore) {
    // The thread asks for the wait's outcome right before it hands over.
    for (int i = 0; i < 500 && Api.Count("GetOverlappedResult") <= completedWaitsBefore; ++i) SleepMs(10);
    ASSERT_GT(Api.Count("GetOverlappedResult"), completedWaitsBefore) << "the wait never completed";
    SleepMs(50);  // from the outcome to the queued call
}

void THandlerLog::Bind(TCustomComm& port) {
    const auto note = [this](std::string text) {
        Calls.push_back(std::move(text));
        AllOnMainThread = AllOnMainThread && OnMainThread();
    };
    port.OnBreak = [note](TObject*) { note("break"); };
    port.OnCts = [note](TObject*) { note("cts"); };
    port.OnDsr = [note](TObject*) { note("dsr"); };
    port.OnError = [note](TObject*, int32_t errors) { note("error " + std::to_string(errors)); };
    port.OnRing = [note](TObject*) { note("ring"); };
    port.OnRlsd = [note](TObject*) { note("rlsd"); };
    port.OnRxChar = [note](TObject*, int32_t count) { note("rxchar " + std::to_string(count)); };
    port.OnRxFlag = [note](TObject*) { note("rxflag"); };
    port.OnTxEmpty = [note](TObject*) { note("txempty"); };
    port.OnLineLost = [note](TObject*, int32_t code) { note("lost " + std::to_string(code)); };
}
