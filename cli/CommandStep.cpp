// step: the guided step test the window runs, here on the port's own thread:
// the six words read, drive 0, samples polled at the test's period, the step
// driven once the record's time reaches --before and drive 0 --after later.
// A lost line, 3 time-outs in a row or Ctrl-C abort it; the record is kept.
#include <QDeadlineTimer>
#include <QIODevice>
#include <QEventLoop>
#include <QTimer>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/Progress.h"
#include "cli/StepOutput.h"
#include "link/Protocol.h"
#include "paramset/ParamSync.h"
#include "record/FileSaveJob.h"
#include "record/SamplePlot.h"

namespace cli {

namespace {


struct TAbort {
    EExit code = EExit::Ok;  // Ok: the test ran to its end
    QString why;
    bool lineUsable = true;
};

class TStepper {
public:
    TStepper(TDeviceSession& session, const steptest::TSettings& settings, const std::string& port)
        : FSession(session), FSettings(settings), FPort(port) {}

    // Polls until the plan's end or an abort; the samples and the bar as each was plotted go to `record`.
    TAbort Record(TStepRecord& record) {
        try {
            return Loop(record);
        } catch (const ELinkLost&) {
            return {EExit::PortFailed, QStringLiteral("line lost"), false};
        }
    }

    // Sends a drive value; false when the controller did not take it.
    bool Drive(int16_t value) {
        return FSession.Transact([value](TControllerLink& link) { return link.SendSubCommand(value); }) == lsDone;
    }

private:
    TLinkState Poll() { return FSession.Transact([](TControllerLink& link) { return link.SendGetSample(); }); }

    TAbort Loop(TStepRecord& record) {
        // As measure: two polls first, so the first sample kept has its predecessor in this run.
        Poll(), Poll();
        QDeadlineTimer next(0, Qt::PreciseTimer);
        for (int silent = 0;;) {
            if (Interrupted()) return {EExit::Interrupted, QStringLiteral("interrupted"), true};
            WaitUntil(next);
            next = QDeadlineTimer(FSettings.periodMs, Qt::PreciseTimer);
            const TLinkState state = Poll();
            silent = state == lsTimedOut ? silent + 1 : 0;
            if (silent >= protocol::SilentAfterTimeouts) return {EExit::TimedOut, QStringLiteral("controller silent"), true};
            if (state != lsDone) continue;
            // As the window: the sample plotted with the bar as it is, then the plan's move.
            record.samples.push_back(FSession.Link().Sample());
            record.bars.push_back(FBar);
            if (Sampled(record.samples.back())) return {};
        }
    }

    // The sample at its time in the record (as MeasureTable keys it); true at the plan's end.
    bool Sampled(const TLinkSample& sample) {
        const uint32_t ticks = sampleplot::TickDistance(sample.prevTick, sample.tick);
        if (ticks == 0) return false;  // a repeat: no new point
        const uint32_t timeMs = FTimeMs;
        FTimeMs += ticks * sampleplot::MsPerTick;
        switch (steptest::Next(FPhase, FSettings, timeMs)) {
        case steptest::EAction::Step:
            FBar = protocol::BarCentre + FSettings.step;
            Drive(protocol::DriveOf(FBar));
            Progress(FPort, QStringLiteral("stepped to %1 at %2 ms").arg(FSettings.step).arg(timeMs));
            return false;
        case steptest::EAction::End: return true;
        case steptest::EAction::None: return false;
        }
        return false;
    }

    TDeviceSession& FSession;
    const steptest::TSettings FSettings;
    const std::string FPort;
    steptest::EPhase FPhase = steptest::EPhase::Before;
    uint32_t FTimeMs = 0;
    int FBar = protocol::BarCentre;
};

// Drive 0 at the end, and on an abort while the line is still there.
void Centre(TStepper& stepper, const TAbort& abort) {
    if (!abort.lineUsable) return;
    try {
        stepper.Drive(0);
    } catch (const ELinkLost&) {
        // Gone while centring: nothing more can be sent.
    }
}

bool WriteOutputs(const TStepRecord& record, const TAbort& abort, const TCommandInput& in, TDeviceResult& result) {
    const chartcsv::TTable table = StepTable(record);
    QString error = TFileSaveJob::WriteFile(in.output, [&table](QIODevice& out) { return chartcsv::Write(table, out); });
    if (!error.isEmpty()) {
        Fail(result, EExit::BadFile, QStringLiteral("%1 not written: %2").arg(in.output, error));
        return false;
    }
    const stepview::TAnalysis analysis = StepAnalysis(table);
    result.result = record.aborted ? QStringLiteral("прерван (%1)").arg(abort.why) : FiguresLine(analysis);
    result.result += QStringLiteral("; %1 samples to %2").arg(record.samples.size()).arg(in.output);
    if (in.options.figures.isEmpty()) return true;
    const QString& figures = in.figures;
    const QByteArray json = FiguresJson(analysis, table);
    error = TFileSaveJob::WriteFile(figures, [&json](QIODevice& out) { return out.write(json) == json.size(); });
    if (!error.isEmpty()) Fail(result, EExit::BadFile, QStringLiteral("%1 not written: %2").arg(figures, error));
    return error.isEmpty();
}

// The mode and the six words the run is kept with, then drive 0; none when a step failed.
std::optional<paramsync::TWords> Prepare(TDeviceSession& session, TDeviceResult& result) {
    if (!Step(session, result, "m", [](TControllerLink& link) { return link.SendGetMode(); })) return {};
    // As the window: the position mode has no manual drive to step.
    if (session.Mode() == protocol::smPosition) {
        Fail(result, EExit::Refused, QStringLiteral("the position mode takes no manual drive; set another mode"));
        return {};
    }
    const paramsync::TReadBack words = paramsync::ReadAll(session.Link());
    if (!words.Complete()) {
        Fail(result, ExitOf(words.failed), paramsync::FailureText(words.failed, words.FailedStep()));
        return {};
    }
    if (!Step(session, result, "B", [](TControllerLink& link) { return link.SendSubCommand(0); })) return {};
    return words.words;
}

}  // namespace

void RunStep(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    const std::optional<paramsync::TWords> words = Prepare(session, result);
    if (!words) return;
    TStepper stepper(session, in.options.step, result.port);
    TStepRecord record{{session.Mode(), (*words)[1], in.options.step.periodMs, session.Ident(), {}},
                       QDateTime::currentDateTime(), *words, {}, {}, false};
    const TAbort abort = stepper.Record(record);
    Centre(stepper, abort);
    record.facts.at = QDateTime::currentDateTime();
    record.aborted = abort.code != EExit::Ok;
    if (WriteOutputs(record, abort, in, result) && record.aborted) Fail(result, abort.code, result.result);
}

}  // namespace cli
