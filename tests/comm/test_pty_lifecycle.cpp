// Resources and robustness of the Linux provider: no descriptor or thread
// left behind (also by a program that never reaps its stopped event threads),
// no CPU while idle or after a hang-up, released handles stay dead, events
// behave as manual- or automatic-reset events.
#include <gtest/gtest.h>

#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include "tests/comm/CommTestSupport.h"

using namespace commapi;

namespace {

using PtyLifecycle = PtyPortTest;

// Lets freed threads finish and their deferred deletions run until the counts are back.
bool SettlesTo(size_t fds, size_t threads) {
    return WaitFor([&] { return OpenFdCount() <= fds && ThreadCount() <= threads; }, 20000);
}

TEST_F(PtyLifecycle, ThousandOpenCloseCyclesLeaveNothingBehind) {
    Port.Open();  // first use creates what lives for the whole process
    Port.Close();
    PumpFor(200);
    const size_t fds = OpenFdCount(), threads = ThreadCount();
    for (int i = 0; i < 1000; ++i) {
        Port.Open();
        Port.Close();
        if (i % 50 == 0) QCoreApplication::processEvents();
    }
    EXPECT_TRUE(SettlesTo(fds, threads)) << "fds " << OpenFdCount() << " (was " << fds << "), threads "
                                         << ThreadCount() << " (was " << threads << ")";
    Port.Open();  // and the line is still usable
    EXPECT_EQ(Port.Write("x", 1), 1);
    EXPECT_EQ(Pty.ReceiveText(1), "x");
}

// No program reaps event threads itself: the application's end frees them.
TEST(EventThreadLifecycle, StoppedThreadIsFreedWhenTheApplicationEnds) {
    QProcess probe;
    probe.start(QStringLiteral(COMM_EXIT_PROBE), {});
    ASSERT_TRUE(probe.waitForFinished(60000)) << "the probe did not end";
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
}

TEST_F(PtyLifecycle, IdlePortCostsNoCpu) {
    Port.Open();
    SleepMs(50);
    const double before = ProcessCpuMs();
    SleepMs(500);
    EXPECT_LT(ProcessCpuMs() - before, 100.0);
}

TEST_F(PtyLifecycle, HangUpFailsTransfersAndDoesNotSpin) {
    Port.Open();
    int calls = 0;
    Port.OnRxChar = [&](TObject*, int32_t) { ++calls; };
    Pty.CloseMaster();
    SleepMs(100);
    const double before = ProcessCpuMs();
    SleepMs(500);
    EXPECT_LT(ProcessCpuMs() - before, 150.0) << "the event thread spins on the dead line";
    ExpectCommError([&] { Port.Write("x", 1); }, "Write error (Error: 31) ", 31);
    char buffer[4];
    ExpectCommError([&] { Port.Read(buffer, 4); }, "Read error (Error: 31) ", 31);
    EXPECT_EQ(Port.InQueCount(), 0);
    PumpFor(100);
    EXPECT_EQ(calls, 0);
    QElapsedTimer clock;
    clock.start();
    Port.Close();
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(PtyLifecycle, ReleasedHandleStaysInvalidWhenItsDescriptorIsReused) {
    Port.Open();
    const HANDLE old = Port.Handle();
    Port.Close();
    TPtyPair other;
    TComm next;
    next.SetDeviceName(other.SlavePath());
    next.Open();  // likely takes the same descriptor number
    TCommApi& api = LinuxProvider();
    EXPECT_EQ(api.PurgeComm(old, PURGE_RXCLEAR), 0);
    EXPECT_EQ(TCommApi::GetLastError(), ERROR_INVALID_HANDLE);
    DWORD errors;
    COMSTAT stat;
    EXPECT_EQ(api.ClearCommError(old, &errors, &stat), 0);
    EXPECT_EQ(api.CloseHandle(old), 0);
    EXPECT_EQ(TCommApi::GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_NE(next.Handle(), old);
}

TEST(LinuxEvents, ManualAndAutomaticReset) {
    TCommApi& api = LinuxProvider();
    const HANDLE manual = api.CreateEventA(nullptr, 1, 0, nullptr);
    const HANDLE automatic = api.CreateEventA(nullptr, 0, 1, nullptr);
    ASSERT_NE(manual, nullptr);
    ASSERT_NE(automatic, nullptr);
    EXPECT_EQ(api.WaitForSingleObject(manual, 20), WAIT_TIMEOUT);
    EXPECT_TRUE(api.SetEvent(manual));
    EXPECT_EQ(api.WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(api.WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(api.ResetEvent(manual));
    EXPECT_EQ(api.WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

    EXPECT_EQ(api.WaitForSingleObject(automatic, 0), WAIT_OBJECT_0) << "created signalled";
    EXPECT_EQ(api.WaitForSingleObject(automatic, 20), WAIT_TIMEOUT) << "the wait took the signal";

    EXPECT_TRUE(api.CloseHandle(manual));
    EXPECT_TRUE(api.CloseHandle(automatic));
    EXPECT_EQ(api.WaitForSingleObject(manual, 0), WAIT_FAILED);
    EXPECT_EQ(TCommApi::GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(api.CreateEventA(nullptr, 1, 0, "named"), nullptr);
    EXPECT_EQ(TCommApi::GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(LinuxEvents, SetFromAnotherThreadEndsAWait) {
    TCommApi& api = LinuxProvider();
    const HANDLE event = api.CreateEventA(nullptr, 1, 0, nullptr);
    std::thread setter([&] {
        SleepMs(50);
        api.SetEvent(event);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(api.WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    EXPECT_LT(clock.elapsed(), 5000);
    setter.join();
    api.CloseHandle(event);
}

}  // namespace
