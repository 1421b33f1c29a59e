#include "measure/Measurement.h"

#include <algorithm>
#include <utility>

#include "link/Protocol.h"

namespace measure {

TMeasurement::TMeasurement(TControllerLink& link, TDriveLine& drive, THooks hooks, TRecordStore* store,
                           QObject* parent)
    : QObject(parent), FLink(link), FDrive(drive), FHooks(std::move(hooks)), FRecord(store) {
    FTimer.setTimerType(Qt::PreciseTimer);
    FTimer.setInterval(DefaultPeriodMs);
    connect(&FTimer, &QTimer::timeout, this, [this] { FHooks.run([this] { Tick(); }); });
}

bool TMeasurement::Start(int periodMs, const TRecordBase& base) {
    FRunning = true;
    // A period of 0 or less gives no ticks (a zero-interval timer would spin).
    FTimer.setInterval(std::max(periodMs, 0));
    Prepare(base);
    for (int i = 0; i < 2; ++i) {
        FLink.SendGetSample();
        FLink.WaitReply();
    }
    // A time-out while priming has stopped it again: the timer then stays off.
    if (FRunning && periodMs > 0) FTimer.start();
    return FRunning;
}

void TMeasurement::Prepare(const TRecordBase& base) {
    FTickOwed = false;  // a tick of the run before is not paid in this one
    FUnanswered = 0;
    FRecord.Begin(base);
}

void TMeasurement::Stop() {
    FRunning = false;
    FTickOwed = false;
    FTimer.stop();
}

void TMeasurement::PlanStep(const steptest::TSettings& settings) {
    FStep = settings;
    FPhase = steptest::EPhase::Before;
}

bool TMeasurement::DropStep() { return std::exchange(FPhase, steptest::EPhase::Idle) != steptest::EPhase::Idle; }

void TMeasurement::SampleDecoded(const TLinkSample& sample) {
    FSample = sample;
    FSampleFresh = true;
}

// Called from the link's notice, inside the port's receive handler or the
// reply timer: what is owed runs as a handler of its own right after them,
// never sending from inside the handler that is reading the reply.
void TMeasurement::TransactionEnded(uint8_t code, TLinkState state) {
    // A lost poll of a running measurement does not stop it; only a start
    // whose priming polls time out ends stopped.
    if (state == lsTimedOut && !Polling()) FRunning = false;
    if (code == protocol::cmdGetSample && state != lsDone && Polling()) ++FUnanswered;
    if (state == lsTimedOut) ++FTimeoutsInRow;
    else if (state == lsDone || state == lsRefused) FTimeoutsInRow = 0;
    // A test that cannot see its response must not go on driving.
    if (FTimeoutsInRow >= protocol::SilentAfterTimeouts && StepRunning())
        QMetaObject::invokeMethod(
            this, [this] { FHooks.run([this] { if (StepRunning()) FHooks.silent(); }); }, Qt::QueuedConnection);
    if (!FTickOwed && !FDrive.Owed()) return;
    QMetaObject::invokeMethod(this, [this] { FHooks.run([this] { RunOwed(); }); }, Qt::QueuedConnection);
}

// The owed drive value first; its end comes back here for the tick.
// Stopping, a lost line or a new start have cleared the debt meanwhile.
void TMeasurement::RunOwed() {
    if (FDrive.SendOwed()) return;
    if (!std::exchange(FTickOwed, false) || !Polling()) return;
    Tick();
}

void TMeasurement::Tick() {
    // The port went away under a running measurement: stop rather than poll it.
    if (!FHooks.portOpen()) {
        FHooks.portGone();
        return;
    }
    // A drive value owed goes before the next poll (and this tick is then
    // owed, as for any drive frame under way).
    FDrive.SendOwed();
    const uint8_t pending = FLink.PendingCommand();
    if (pending != 0) {
        // The rate is the lower of the timer's and the round trip's: one
        // tick owed at most, never a burst, never more polls than ticks.
        if (pending == protocol::cmdGetSample || pending == protocol::cmdDrive) FTickOwed = true;
        return;
    }
    // A poll that was lost or refused left the last sample in place: placing
    // it again would draw a point nobody measured.
    PlaceLatest();
    if (!FRunning) return;  // the plan ended with that sample
    // The plan's step went out with that sample: this tick's poll follows it.
    if (FLink.PendingCommand() != 0) {
        FTickOwed = true;
        return;
    }
    try {
        FLink.SendGetSample();
    } catch (...) {
        // One report, not one per tick: a failing port ends the measurement.
        FHooks.portGone();
        throw;
    }
}

void TMeasurement::PlaceLatest() {
    if (!std::exchange(FSampleFresh, false)) return;
    const auto placed = FRecord.Add(FSample, FHooks.input());
    if (!placed) return;
    FHooks.placed(*placed);
    // Once the sample is in: the plan may step, or end with its run whole.
    if (!StepRunning()) return;
    const steptest::EAction action = steptest::Next(FPhase, FStep, placed->timeMs);
    if (action != steptest::EAction::None) FHooks.stepAction(action, placed->timeMs);
}

std::optional<runs::TRun> TMeasurement::TakeRun(bool aborted, bool keepEmpty) {
    if (!FRun) return std::nullopt;
    runs::TRun run = FRecord.Run(std::move(*FRun));
    FRun.reset();
    if (run.Points() == 0 && !keepEmpty) return std::nullopt;
    run.aborted = aborted;
    run.Analyse();
    return run;
}

}  // namespace measure
