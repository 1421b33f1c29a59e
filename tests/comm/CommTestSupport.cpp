#include "tests/comm/CommTestSupport.h"

#include <ctime>
#include <filesystem>
#include <thread>

#include <QCoreApplication>
#include <QThread>

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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

// ------------------------------------------------------------------ fake fixture

void FakePortTest::TearDown() {
    Port.reset();
    EXPECT_TRUE(WaitFor([this] { return Api.OpenHandles() == 0; })) << "a handle of the fake stayed open";
}

void FakePortTest::AwaitPendingWait() {
    ASSERT_TRUE(WaitFor([this] { return Api.HasPendingWait(); })) << "the event thread never waited";
}

void FakePortTest::QueueHandOverOf(const char* bytes) {
    AwaitPendingWait();
    const int waitsBefore = Api.Count("GetOverlappedResult");
    Api.Receive(bytes);
    AwaitQueuedHandOver(waitsBefore);
}

void FakePortTest::AwaitQueuedHandOver(int completedWaitsBefore) {
    // The thread asks for the wait's outcome right before it hands over.
    ASSERT_TRUE(WaitWithoutEvents([&] { return Api.Count("GetOverlappedResult") > completedWaitsBefore; }))
        << "the wait never completed";
    // From the outcome to the queued call. Should a loaded machine not have
    // queued it yet, the tests' outcome is the same; only the order they
    // mean to provoke is then not provoked.
    SleepMs(50);
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

void ReadIntoLog(TComm& port, std::vector<std::string>& log) {
    port.OnLineLost = [&log](TObject*, int32_t code) { log.push_back("lost " + std::to_string(code)); };
    port.OnRxChar = [&port, &log](TObject*, int32_t count) {
        std::string got(size_t(count), '\0');
        try {
            got.resize(size_t(port.Read(got.data(), count)));
            log.push_back("read " + got);
        } catch (const ECommError& e) {
            log.push_back(e.what());
        }
    };
}
