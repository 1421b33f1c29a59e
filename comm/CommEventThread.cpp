// The event thread: waits for the device's events and hands each completed
// wait to the main thread. Functions run on the event thread unless marked.
#include <utility>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "CommInt.h"

using namespace commapi;

namespace {

constexpr uint32_t AllPurges = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr int MaxPauseMs = 500;

std::atomic<int> LiveThreads{0};  // constructed and not yet freed

}  // namespace

// Main thread (called by Open).
TCommEventThread::TCommEventThread(HANDLE commHandle, TCommEventTypes events, TCommApi& api)
    : FApi(api), FCommHandle(commHandle) {
    LiveThreads.fetch_add(1);
    connect(this, &QThread::finished, this, &QObject::deleteLater);  // frees itself when its run ends
    FApi.SetCommMask(FCommHandle, EventMaskOf(events));
    FEvent = std::make_unique<TSimpleEvent>(FApi);
    start(QThread::HighPriority);  // construction is complete: the class is final
}

// Main thread (deleteLater after the run ended).
TCommEventThread::~TCommEventThread() {
    // Pairs with the end of the run: Qt's finished -> deleteLater hand-over is
    // invisible to race detectors, this edge is not.
    (void)FRunEnded.load(std::memory_order_acquire);
    FEvent.reset();
    LiveThreads.fetch_sub(1);
}

// Main thread. A stopped thread frees itself through the main thread's event
// queue, which no longer runs once the program leaves its message loop.
bool TCommEventThread::ReapAll(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (LiveThreads.load() > 0 && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (LiveThreads.load() > 0) QThread::msleep(1);
    }
    return LiveThreads.load() == 0;
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
// unrun when it drops it (the application is going away): either way the
// ticket's destruction answers the waiting event thread, so it never hangs.
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
// until it has run. What the call raised is raised again here.
void TCommEventThread::HandOver(THandedOverCall call) {
    QObject* mainThreadObject = QCoreApplication::instance();
    if (!mainThreadObject) return;
    {
        // Released before the call is queued: the call takes this lock first,
        // which orders everything this thread wrote before it (mask, code).
        std::lock_guard lock(FHandOverMutex);
        FHandOverDone = false;
        FHandOverError = nullptr;
    }
    QMetaObject::invokeMethod(
        mainThreadObject, [ticket = THandOverTicket(this, call)] { ticket.Run(); }, Qt::QueuedConnection);
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

// Whichever thread destroys the queued call. Notified under the lock: the
// event thread cannot return, and this object be freed, before this is done.
void TCommEventThread::AnswerHandOver() {
    std::lock_guard lock(FHandOverMutex);
    FHandOverDone = true;
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
