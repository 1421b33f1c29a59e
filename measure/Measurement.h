// A live measurement over the link: the controller polled for a velocity
// sample every period; a tick that meets a poll or drive frame under way is
// owed (one at most) and paid as soon as that ends, after any owed drive
// value; each new sample placed in the record at the next tick; the guided
// step plan moved on sample by sample; and the run it leaves. The window and
// servo-cli's measure and step use it alike. Runs on the thread that owns
// the link (the window's main thread, a port's thread in servo-cli).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QObject>
#include <QTimer>

#include "link/ControllerLink.h"
#include "measure/DriveLine.h"
#include "measure/Recorder.h"
#include "runs/Run.h"
#include "runs/StepPlan.h"

namespace measure {

class TMeasurement : public QObject {
    Q_OBJECT
public:
    struct THooks {
        std::function<bool()> portOpen;                   // false: the port went away
        std::function<sampleplot::TSampleInput()> input;  // what a sample is plotted under now
        std::function<void(const sampleplot::TPlaced&)> placed;  // a new sample, in the record
        std::function<void(steptest::EAction, uint32_t timeMs)> stepAction;  // at a sample's time
        std::function<void()> portGone;   // a tick found the port gone or failing: stop
        std::function<void()> silent;     // the plan's controller stopped answering
        // How the period's tick and the owed work run (the window's guard;
        // servo-cli's catches the lost line).
        std::function<void(const std::function<void()>&)> run;
    };

    // store: where the record's points go; none, the record's own.
    TMeasurement(TControllerLink& link, TDriveLine& drive, THooks hooks, TRecordStore* store = nullptr,
                 QObject* parent = nullptr);

    // Two polls awaited first, so the first sample placed has its predecessor
    // in this run; then one each periodMs (none at 0 or less). False when a
    // priming poll went unanswered: it stays stopped. Raises what the port raises.
    bool Start(int periodMs, const TRecordBase& base);
    // Keeps the record; the next Start begins a new one.
    void Stop();
    bool Running() const { return FRunning; }
    bool Polling() const { return FTimer.isActive(); }
    int PeriodMs() const { return FTimer.interval(); }

    // The next Start runs the guided step plan.
    void PlanStep(const steptest::TSettings& settings);
    bool StepRunning() const { return FPhase != steptest::EPhase::Idle; }
    // Ends the plan without a word; true when one was running.
    bool DropStep();

    // From the link's listener.
    void SampleDecoded(const TLinkSample& sample);
    void TransactionEnded(uint8_t code, TLinkState state);

    // One period's work: the owed drive value, then the last sample placed
    // and the next poll, or the tick owed.
    void Tick();
    // What Start does before its polls: a new record begun, nothing sent.
    void Prepare(const TRecordBase& base);
    // What each tick does before its poll: the last sample decoded placed,
    // unless it was already.
    void PlaceLatest();

    const TRecorder& Record() const { return FRecord; }
    const TLinkSample& LastSample() const { return FSample; }
    // Polls that ended without a sample.
    int Unanswered() const { return FUnanswered; }

    // The run under way gets the record's facts now; TakeRun hands it over
    // once (none when nothing was measured, unless an empty one is kept).
    void BeginRun(runs::TRun facts) { FRun = std::move(facts); }
    std::optional<runs::TRun> TakeRun(bool aborted, bool keepEmpty = false);

private:
    void RunOwed();

    TControllerLink& FLink;
    TDriveLine& FDrive;
    THooks FHooks;
    QTimer FTimer;
    TRecorder FRecord;
    TLinkSample FSample;         // the last sample decoded, with the tick before it
    bool FRunning = false;
    bool FSampleFresh = false;   // a sample arrived that is not placed yet
    bool FTickOwed = false;      // a tick met a pending poll: it runs once that is over
    int FUnanswered = 0;
    int FTimeoutsInRow = 0;
    steptest::EPhase FPhase = steptest::EPhase::Idle;
    steptest::TSettings FStep;
    std::optional<runs::TRun> FRun;
};

}  // namespace measure
