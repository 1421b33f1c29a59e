#include "cli/Recording.h"

#include <cstdint>

#include <QEventLoop>
#include <QTimer>

#include "cli/Interrupt.h"
#include "cli/Options.h"
#include "cli/Progress.h"
#include "link/Protocol.h"
#include "record/ChartUnits.h"

namespace cli {

namespace {

// How often a recording looks for Ctrl-C between its polls.
constexpr int InterruptCheckMs = 20;

}  // namespace

TRecording::TRecording(TDeviceSession& session, uint16_t kfWord, std::string port)
    : FSession(session),
      FKfWord(kfWord),
      FPort(std::move(port)),
      FBar(protocol::BarCentre),
      FDrive([&session]() -> TControllerLink& { return session.Link(); }),
      FHooks(Hooks()),
      FMeasurement(session.Link(), FDrive, FHooks) {
    FSession.Attach(&FMeasurement);
}

TRecording::~TRecording() { FSession.Attach(nullptr); }

measure::TMeasurement::THooks TRecording::Hooks() {
    measure::TMeasurement::THooks hooks;
    hooks.portOpen = [this] { return !FSession.Link().LineLost(); };
    hooks.input = [this] {
        sampleplot::TSampleInput in;
        in.servoMode = FSession.Mode();
        in.unit = sampleplot::vuKiloPulsesPerSec;
        in.barPosition = FBar;
        in.kfWord = FKfWord;
        return in;
    };
    hooks.placed = [this](const sampleplot::TPlaced& placed) {
        if (FWatch && FWatch(placed)) End(EExit::Ok, QStringLiteral("stopped"), true);
    };
    hooks.stepAction = [this](steptest::EAction action, uint32_t timeMs) { StepAction(action, timeMs); };
    hooks.portGone = [this] { End(EExit::PortFailed, QStringLiteral("line lost"), false); };
    hooks.silent = [this] { End(EExit::TimedOut, QStringLiteral("controller silent"), true); };
    hooks.run = [this](const std::function<void()>& handler) {
        try {
            handler();
        } catch (const ELinkLost&) {
            End(EExit::PortFailed, QStringLiteral("line lost"), false);
        } catch (const std::exception& e) {
            // The port's own errors: a write on a line gone.
            End(EExit::PortFailed, QString::fromLocal8Bit(e.what()).simplified(), false);
        }
    };
    return hooks;
}

void TRecording::Plan(const steptest::TSettings& settings) {
    FStep = settings.step;
    FMeasurement.PlanStep(settings);
}

void TRecording::StepAction(steptest::EAction action, uint32_t timeMs) {
    if (action == steptest::EAction::End) return End(EExit::Ok, {}, true);
    FBar = protocol::BarCentre + FStep;
    FDrive.Send(protocol::DriveOf(FBar));
    Progress(FPort, QStringLiteral("stepped to %1 at %2 ms").arg(FStep).arg(timeMs));
}

void TRecording::End(EExit code, const QString& why, bool lineUsable) {
    if (!FEnd) FEnd = TRecordEnd{code, why, lineUsable};
    FMeasurement.Stop();
    FMeasurement.DropStep();
    if (FLoop) FLoop->quit();
}

TRecordEnd TRecording::Run(int periodMs, int durationMs) {
    // Every sample of the record kept: its length is the plan's or the time's.
    const measure::TRecordBase base{FSession.Mode(), sampleplot::vuKiloPulsesPerSec, INT32_MAX};
    FEnd.reset();
    FHooks.run([&] {
        if (!FMeasurement.Start(periodMs, base)) End(EExit::TimedOut, QStringLiteral("no sample answered"), true);
    });
    if (!FEnd) FMeasurement.BeginRun(Facts(periodMs));
    QEventLoop loop;
    QTimer interrupts;
    interrupts.callOnTimeout([this] {
        if (Interrupted()) End(EExit::Interrupted, QStringLiteral("interrupted"), true);
    });
    interrupts.start(InterruptCheckMs);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.callOnTimeout([this] { End(EExit::Ok, {}, true); });
    if (durationMs >= 0) deadline.start(durationMs);
    FLoop = &loop;
    if (!FEnd) loop.exec();
    FLoop = nullptr;
    return *FEnd;
}

runs::TRun TRecording::Facts(int periodMs) const {
    runs::TRun run;
    run.started = QDateTime::currentDateTime();
    run.servoMode = ModeName(FSession.Mode());
    run.velocityUnit = chartunits::UnitCaption(sampleplot::vuKiloPulsesPerSec);
    run.periodMs = periodMs;
    run.controller = FSession.Ident();
    return run;
}

std::optional<runs::TRun> TRecording::TakeRun(bool aborted) {
    std::optional<runs::TRun> run = FMeasurement.TakeRun(aborted, true);
    // Every sample is kept: the depth is the samples recorded.
    if (run) run->historyDepth = int(FMeasurement.Record().TicksSeen());
    return run;
}

void TRecording::Centre(const TRecordEnd& end) {
    if (!end.lineUsable) return;
    try {
        FDrive.Send(0);
        FDrive.Settle();
    } catch (const std::exception&) {
        // Gone while centring: nothing more can be sent.
    }
}

}  // namespace cli
