#include "tests/soak/LinkSoak.h"

#include <memory>
#include <ostream>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "comm/CommInt.h"
#include "link/ConsoleLine.h"
#include "link/ControllerLink.h"
#include "sim/PtySimulator.h"
#include "tests/soak/LinkSoakPlan.h"

namespace soak {

namespace {

// A reply ended by a time-out may still be on its way; it must land (and be
// dropped, nothing being under way) before the next send purges the input.
constexpr int SettleMs = 50;
constexpr uint64_t ProblemsShown = 20;
constexpr uint64_t FrameLogLimit = 1000;

class TModeListener : public TLinkListener {
public:
    void LinkModeDecoded(int mode) override { Mode = mode; }
    int Mode = -1;
};

void Settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
}

class TLinkSoak {
public:
    TLinkSoak(sim::TPtySimulator& sim, TLinkSoakReport& report, std::ostream& log)
        : FSim(sim), FReport(report), FLog(log), FLink(FPort, &FListener), FModel(sim.State()) {
        consoleline::Configure(FPort);
        FPort.SetDeviceName(sim.Path());
        consoleline::Bind(FPort, FLink);
    }
    ~TLinkSoak() { FPort.Close(); }

    bool Open() {
        FPort.Open();
        return FLink.ProbeController();
    }
    void Step(uint64_t step);

private:
    void Check(uint64_t step, EPhase phase, const TCommand& command, TLinkState state, qint64 ms);
    void Problem(uint64_t step, EPhase phase, const TCommand& command, const char* what);

    sim::TPtySimulator& FSim;
    TLinkSoakReport& FReport;
    std::ostream& FLog;
    TComm FPort;
    TModeListener FListener;
    TControllerLink FLink;
    TControllerModel FModel;
    EPhase FPhase = EPhase::Clean;
    uint64_t FProblems = 0;
};

void TLinkSoak::Step(uint64_t step) {
    const EPhase phase = PhaseOf(step);
    if (phase != FPhase) FSim.SetFaults(FaultsOf(phase));
    FPhase = phase;
    if (step % FrameLogLimit == 0) FSim.ClearFrames();  // the log is not needed; keep it small

    const TCommand command = CommandOf(step);
    FListener.Mode = -1;
    QElapsedTimer clock;
    clock.start();
    if (!Send(FLink, command)) {
        ++FReport.refusedSends;
        Problem(step, phase, command, "send refused on an idle link");
        return;
    }
    const TLinkState state = FLink.WaitReply();
    ++FReport.transactions;
    if (Executes(phase)) FModel.Execute(command);
    Check(step, phase, command, state, clock.elapsed());
}

// The reply timer is not restarted by a send while it runs (only an accepted
// sample stops it), so a transaction sent late in the period of an earlier
// one can time out before its own reply is in. Such an early end is counted
// apart; a transaction that really waited its full second is not excused.
void TLinkSoak::Check(uint64_t step, EPhase phase, const TCommand& command, TLinkState state, qint64 ms) {
    if (state == lsTimedOut) {
        ++FReport.timeouts;
        Settle(SettleMs);
        if (phase == EPhase::Drop) return;
        if (ms < TControllerLink::ReplyTimeoutMs) {
            ++FReport.earlyTimeouts;
            return;
        }
    }
    if (state != ExpectedState(phase, command.code)) {
        ++FReport.wrongOutcomes;
        Problem(step, phase, command, "ended in the wrong state");
        return;
    }
    if (state == lsDone && Checked(phase) && !Agrees(FLink, FListener.Mode, FModel, command)) {
        ++FReport.wrongValues;
        Problem(step, phase, command, "decoded a value the controller does not hold");
    }
}

void TLinkSoak::Problem(uint64_t step, EPhase phase, const TCommand& command, const char* what) {
    if (++FProblems > ProblemsShown) return;
    FLog << "  step " << step << " (" << PhaseName(phase) << ", " << Describe(command)
         << "): " << what << ", state " << int(FLink.State()) << "\n";
}

}  // namespace

bool RunLinkSoak(uint64_t count, TWatchdog& watchdog, TLinkSoakReport& report, std::ostream& log) {
    sim::TSimOptions options;
    options.Clock = sim::EClockKind::Stepped;  // the motor stands still: positions are known
    sim::TPtySimulator sim(options);
    std::string error;
    if (!sim.Start(&error)) {
        log << "link soak: the simulator did not start: " << error << "\n";
        return false;
    }
    TLinkSoak soak(sim, report, log);
    if (!soak.Open()) {
        log << "link soak: the controller did not answer the probe\n";
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    for (uint64_t step = 0; step < count; ++step) {
        watchdog.Beat("a link transaction");
        soak.Step(step);
    }
    report.seconds = double(clock.elapsed()) / 1000.0;
    return true;
}

}  // namespace soak
