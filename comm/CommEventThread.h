// Serial port component: the thread that waits for a port's events and hands
// each one to the main thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include <QThread>

#include "comm/CommApi.h"
#include "comm/CommObjs.h"
#include "comm/CommTypes.h"


// Waits for the device's events while its port is open and hands each one to
// the main thread. Started by its constructor; frees itself when its run ends,
// or, once stopped, at the latest when the application object is destroyed.
class TCommEventThread final : public QThread, public TObject {
    Q_OBJECT
public:
    // Sender: this thread; Mask: the EV_ bits of the completed wait. Runs on the main thread.
    using TSignalEvent = std::function<void(TObject* Sender, uint32_t Mask)>;
    // Sender: this thread; Code: what the wait failed with (IsLineGoneError). Runs on the main thread.
    using TLineLostEvent = TCommLineLostEvent;

    TCommEventThread(commapi::HANDLE commHandle, TCommEventTypes events,
                     commapi::TCommApi& api = commapi::Current());
    ~TCommEventThread() override;

    // Asks the run to end and returns at once.
    void Stop();
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }

    TSignalEvent OnSignal;
    // Once per run, after every event that came before.
    TLineLostEvent OnLineLost;

protected:
    void run() override;

private:
    void Execute();
    bool WaitForEvent(commapi::OVERLAPPED& ov);
    bool WaitFailed(commapi::DWORD error);
    void PauseAfterFailure(int failures);
    class THandOverTicket;
    using THandedOverCall = void (TCommEventThread::*)();
    void HandOver(THandedOverCall call);
    void RunHandedOver(THandedOverCall call);
    void AnswerHandOver();
    void DoOnSignal();
    void DoOnLineLost();

    commapi::TCommApi& FApi;
    const commapi::HANDLE FCommHandle;  // a copy: neither owned nor closed here
    std::unique_ptr<TSimpleEvent> FEvent;
    uint32_t FEventMask = 0;
    bool FLineLostReported = false;
    int32_t FLineLostCode = 0;  // written before its hand-over, like the mask
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FRunEnded{false};  // the run touches nothing of this object after it
    // The hand-over's own handshake. Qt's queue and semaphores are invisible
    // to race detectors, so the wait for the answer does not rely on them.
    std::mutex FHandOverMutex;
    std::condition_variable FHandOverAnswered;
    bool FHandOverDone = false;         // the queued call ran, or was dropped unrun
    std::exception_ptr FHandOverError;  // what the handed-over call raised
};
