// The event thread: waits for the device's events and hands each completed
// wait to the main thread. Functions run on the event thread unless marked.
#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QDeadlineTimer>

#include "comm/CommInt.h"

using namespace commapi;

namespace {

constexpr uint32_t AllPurges = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr int MaxPauseMs = 500;
constexpr qint64 ReapLimitMs = 5000;  // for all stopped threads together
constexpr qint64 ReapStepMs = 20;     // between drops of newly queued hand-overs

// Every event thread from its construction until it is freed. A stopped
// thread frees itself through the main thread's event queue, which no longer
// runs once the program leaves its message loop; the application object's
// destruction then frees the rest (ReapStoppedThreads), so no program has to.
// An ordinary static, destroyed at exit, so that it never hides a thread
// nobody freed from a leak check.
constinit bool RegistryGone = false;  // trivially destructible: readable to the very end

struct TThreadRegistry {
    ~TThreadRegistry() { RegistryGone = true; }
    std::mutex Mutex;
    std::set<TCommEventThread*> Threads;
    bool ReaperInstalled = false;  // for the current application object
};

TThreadRegistry Registry;

// Main thread, called by the application object's destructor while its event
// queue still exists. A stopped thread may be waiting there for a hand-over
// that will never run: dropping the queued call answers it (the call of a
// closed port would do nothing), so the thread ends and can be freed here.
// A thread whose port is still open is left alone: it cannot be joined.
void ReapStoppedThreads() {
    std::vector<TCommEventThread*> stopped;
    {
        std::lock_guard lock(Registry.Mutex);
        Registry.ReaperInstalled = false;  // post routines run once; a later application installs it again
        for (TCommEventThread* thread : Registry.Threads)
            if (thread->Terminated() || thread->isFinished()) stopped.push_back(thread);
    }
    const QDeadlineTimer limit(ReapLimitMs);
    for (TCommEventThread* thread : stopped) {
        for (;;) {
            QCoreApplication::removePostedEvents(thread, QEvent::MetaCall);
            const qint64 step = std::clamp<qint64>(limit.remainingTime(), 0, ReapStepMs);
            if (thread->wait(QDeadlineTimer(step))) {
                delete thread;  // also drops its queued deleteLater
                break;
            }
            if (limit.hasExpired()) break;
        }
    }
}

}  // namespace

// Main thread (called by Open).
TCommEventThread::TCommEventThread(HANDLE commHandle, TCommEventTypes events, TCommApi& api)
    : FApi(api), FCommHandle(commHandle) {
    bool installReaper = false;
    {
        std::lock_guard lock(Registry.Mutex);
        Registry.Threads.insert(this);
        installReaper = !std::exchange(Registry.ReaperInstalled, true);
    }
    if (installReaper) qAddPostRoutine(ReapStoppedThreads);
    connect(this, &QThread::finished, this, &QObject::deleteLater);  // frees itself when its run ends
    FApi.SetCommMask(FCommHandle, EventMaskOf(events));
    FEvent = std::make_unique<TSimpleEvent>(FApi);
    start(QThread::HighPriority);  // construction is complete: the class is final
}

// Main thread (deleteLater after the run ended, or ReapStoppedThreads).
TCommEventThread::~TCommEventThread() {
    // Pairs with the end of the run: Qt's finished -> deleteLater hand-over and
    // QThread::wait are invisible to race detectors, this edge is not.
    (void)FRunEnded.load(std::memory_order_acquire);
    FEvent.reset();
    if (RegistryGone) return;  // freed during static destruction, after the registry
    std::lock_guard lock(Registry.Mutex);
    Registry.Threads.erase(this);
}

// Main thread. The flag goes first so that a run woken by the event sees it.
void TCommEventThread::Stop() {
    FTerminated.store(true, std::memory_order_release);
    FEvent->SetEvent();
}

void TCommEventThread::run() {
    try {
        Execute();
    } catch (...) {
        // A handler raised on the main thread: delivery ends here, without the
        // final purge; the port stays open until it is closed and reopened.
    }
    FRunEnded.store(true, std::memory_order_release);
}

void TCommEventThread::Execute() {
    OVERLAPPED ov{};
    ov.hEvent = FEvent->Handle();
    int failures = 0;
    while (!Terminated()) {
        const bool failed = !WaitForEvent(ov);
        FEvent->ResetEvent();
        failures = failed ? failures + 1 : 0;
        if (failed && !Terminated()) PauseAfterFailure(failures);
    }
    FApi.PurgeComm(FCommHandle, AllPurges);  // fails once the port has released the handle
    // A wait still pending must not outlive this thread's record and mask.
    FApi.CancelIoEx(FCommHandle, &ov);
}

// One pass: a wait and, when it completed with events, their hand-over.
// False when the device failed the wait.
bool TCommEventThread::WaitForEvent(OVERLAPPED& ov) {
    if (!FApi.WaitCommEvent(FCommHandle, &FEventMask, &ov)) {
        const DWORD error = TCommApi::GetLastError();
        if (error != ERROR_IO_PENDING) return WaitFailed(error);
        if (FEvent->WaitFor(INFINITE) != wrSignaled) return false;
        DWORD unused = 0;
        if (!FApi.GetOverlappedResult(FCommHandle, &ov, &unused, 0)) {
            const DWORD result = TCommApi::GetLastError();
            return result == ERROR_IO_INCOMPLETE || WaitFailed(result);  // incomplete: woken by Stop
        }
    }
    if (FEventMask != 0 && !Terminated()) HandOver(&TCommEventThread::DoOnSignal);
    return true;
}

// A device that is gone fails every wait from now on: reported once, then
// the waits go on failing with pauses until the port is closed. Always false.
bool TCommEventThread::WaitFailed(DWORD error) {
    if (FLineLostReported || Terminated() || !IsLineGoneError(int32_t(error))) return false;
    FLineLostReported = true;
    FLineLostCode = int32_t(error);
    HandOver(&TCommEventThread::DoOnLineLost);
    return false;
}

// A device that fails every wait at once is asked again after a growing pause
// that Stop cuts short, not in a busy loop.
void TCommEventThread::PauseAfterFailure(int failures) {
    const uint32_t pauseMs = uint32_t(std::min(MaxPauseMs, 10 << std::min(failures - 1, 6)));
    if (FEvent->WaitFor(pauseMs) == wrError) QThread::msleep(pauseMs);
}

// Travels inside the queued call. Qt destroys the call once it has run, or
// unrun when it is dropped (the application is going away, or the stopped
// thread is being reaped): either way the ticket's destruction answers the
// waiting event thread, so it never hangs.
// Destroyed on the main thread, or on the event thread when its own reference
// to the call happens to be the last.
class TCommEventThread::THandOverTicket {
public:
    THandOverTicket(TCommEventThread* thread, THandedOverCall call) : FThread(thread), FCall(call) {}
    THandOverTicket(THandOverTicket&& other) noexcept
        : FThread(std::exchange(other.FThread, nullptr)), FCall(other.FCall) {}
    THandOverTicket(const THandOverTicket&) = delete;
    THandOverTicket& operator=(const THandOverTicket&) = delete;
    THandOverTicket& operator=(THandOverTicket&&) = delete;
    ~THandOverTicket() {
        if (FThread) FThread->AnswerHandOver();
    }

    // Main thread.
    void Run() const { FThread->RunHandedOver(FCall); }

private:
    TCommEventThread* FThread;  // alive: its run waits for this ticket's answer
    THandedOverCall FCall;
};

// Runs `call` on the main thread, inside its event processing, and waits
// until it has run. What the call raised is raised again here. The call is
// queued to this object (it lives on the main thread) so that the reaper can
// drop exactly this thread's calls.
void TCommEventThread::HandOver(THandedOverCall call) {
    if (!QCoreApplication::instance()) return;
    {
        // Released before the call is queued: the call takes this lock first,
        // which orders everything this thread wrote before it (mask, code).
        std::lock_guard lock(FHandOverMutex);
        FHandOverDone = false;
        FHandOverError = nullptr;
    }
    QMetaObject::invokeMethod(
        this, [ticket = THandOverTicket(this, call)] { ticket.Run(); }, Qt::QueuedConnection);
    std::unique_lock lock(FHandOverMutex);
    FHandOverAnswered.wait(lock, [this] { return FHandOverDone; });
    if (FHandOverError) std::rethrow_exception(std::exchange(FHandOverError, nullptr));
}

// Main thread, while the event thread waits in HandOver.
void TCommEventThread::RunHandedOver(THandedOverCall call) {
    // Taken first, so everything the event thread wrote before queuing this
    // call is seen here; not held while the handlers run.
    std::unique_lock lock(FHandOverMutex);
    lock.unlock();
    std::exception_ptr error;
    try {
        (this->*call)();
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    FHandOverError = error;
}

// Whichever thread destroys the queued call: the main thread, or the event
// thread itself. Notified after the lock is released, so that the woken
// thread does not at once wait for the lock again. The event thread may then
// end before this returns, but this object is freed only on the main thread,
// and not while this runs.
void TCommEventThread::AnswerHandOver() {
    {
        std::lock_guard lock(FHandOverMutex);
        FHandOverDone = true;
    }
    FHandOverAnswered.notify_one();
}

// Main thread, while the event thread waits in HandOver.
void TCommEventThread::DoOnSignal() {
    if (OnSignal) OnSignal(this, FEventMask);
}

// Main thread, while the event thread waits in HandOver.
void TCommEventThread::DoOnLineLost() {
    if (OnLineLost) OnLineLost(this, FLineLostCode);
}
