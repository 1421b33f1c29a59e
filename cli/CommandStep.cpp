// step: the guided step test the window runs, here on the port's own thread:
// the six words read, drive 0, then the window's measurement with the step
// plan (the step driven once the record's time reaches --before, drive 0
// --after later). A lost line, 3 time-outs in a row or Ctrl-C abort it; the
// record is kept.
#include <QIODevice>

#include "cli/Commands.h"
#include "cli/Recording.h"
#include "cli/StepOutput.h"
#include "link/Protocol.h"
#include "measure/StepStart.h"
#include "paramset/ParamSync.h"
#include "record/FileSaveJob.h"
#include "runs/RunCsv.h"

namespace cli {

namespace {

bool WriteOutputs(const runs::TRun& run, const TRecordEnd& end, const TCommandInput& in, TDeviceResult& result) {
    const chartcsv::TTable table = runs::Table(run, QDateTime::currentDateTime());
    QString error = TFileSaveJob::WriteFile(in.output, [&table](QIODevice& out) { return chartcsv::Write(table, out); });
    if (!error.isEmpty()) {
        Fail(result, EExit::BadFile, QStringLiteral("%1 not written: %2").arg(in.output, error));
        return false;
    }
    result.result = run.aborted ? QStringLiteral("aborted (%1)").arg(end.why) : FiguresLine(run);
    result.result += QStringLiteral("; %1 samples to %2").arg(run.historyDepth).arg(in.output);
    if (!run.aborted) result.figures = FiguresObject(run);
    if (in.options.figures.isEmpty()) return true;
    const QString& figures = in.figures;
    const QByteArray json = FiguresJson(run);
    error = TFileSaveJob::WriteFile(figures, [&json](QIODevice& out) { return out.write(json) == json.size(); });
    if (!error.isEmpty()) Fail(result, EExit::BadFile, QStringLiteral("%1 not written: %2").arg(figures, error));
    return error.isEmpty();
}

// The mode and the six words the run is kept with, then drive 0; none when a step failed.
std::optional<paramsync::TWords> Prepare(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    if (!Step(session, result, "m", [](TControllerLink& link) { return link.SendGetMode(); })) return {};
    // The test steps a velocity command.
    if (session.Mode() != protocol::smVelocity) {
        Fail(result, EExit::Refused, QStringLiteral("the step test runs in the velocity mode; set it with 'mode velocity'"));
        return {};
    }
    const paramsync::TReadBack words = paramsync::ReadAll(session.Link());
    if (!words.Complete()) {
        Fail(result, ExitOf(words.failed), StepFailure(words.failed, words.FailedStep()));
        return {};
    }
    if (!Step(session, result, "B", [](TControllerLink& link) { return link.SendSubCommand(0); })) return {};
    const measure::TStepStarted start =
        measure::PrepareStep(session.Link(), session.Mode(), {in.options.step.resetRegulator});
    switch (start.outcome) {
    case measure::EStepStart::Ready: return words.words;
    case measure::EStepStart::NotVelocity: break;  // checked above
    case measure::EStepStart::NotAtRest:
        Fail(result, EExit::Refused, QStringLiteral("the motor did not come to rest within 5 s; no step made"));
        return {};
    case measure::EStepStart::Failed:
        Fail(result, ExitOf(start.state), StepFailure(start.state, QString(QChar::fromLatin1(char(start.code)))));
        return {};
    }
    return {};
}

}  // namespace

void RunStep(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    const std::optional<paramsync::TWords> words = Prepare(session, in, result);
    if (!words) return;
    TRecording recording(session, (*words)[1], result.port);
    recording.Plan(in.options.step);
    const TRecordEnd end = recording.Run(in.options.step.periodMs);
    recording.Centre(end);
    std::optional<runs::TRun> run = recording.TakeRun(end.code != EExit::Ok);
    if (!run) return Fail(result, end.code == EExit::Ok ? EExit::TimedOut : end.code, end.why);
    run->params = *words;
    run->regulatorReset = in.options.step.resetRegulator;
    if (WriteOutputs(*run, end, in, result) && run->aborted) Fail(result, end.code, result.result);
}

}  // namespace cli
