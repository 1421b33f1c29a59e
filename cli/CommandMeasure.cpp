// measure: the window's measurement for a while, then its record written
// as the chart's CSV export.
#include <QIODevice>

#include "cli/Commands.h"
#include "cli/Recording.h"
#include "record/FileSaveJob.h"
#include "runs/RunCsv.h"

namespace cli {

void RunMeasure(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    if (!Step(session, result, "m", [](TControllerLink& link) { return link.SendGetMode(); })) return;
    if (!Step(session, result, "R2", [](TControllerLink& link) { return link.SendReadParam(1); })) return;
    TRecording recording(session, session.Link().Params()[1], result.port);
    const TRecordEnd end = recording.Run(in.options.periodMs, in.options.durationMs);
    const std::optional<runs::TRun> run = recording.TakeRun(false);
    if (end.code == EExit::PortFailed) return Fail(result, end.code, end.why);
    if (!run || run->Points() == 0) return Fail(result, EExit::TimedOut, QStringLiteral("no sample answered"));
    const chartcsv::TTable table = runs::ExportTable(*run, QDateTime::currentDateTime());
    const QString error = TFileSaveJob::WriteFile(in.output, [&table](QIODevice& out) { return chartcsv::Write(table, out); });
    if (!error.isEmpty()) return Fail(result, EExit::BadFile, QStringLiteral("%1 not written: %2").arg(in.output, error));
    const uint32_t samples = recording.Measurement().Record().TicksSeen();
    result.result = QStringLiteral("%1 samples to %2").arg(samples).arg(in.output);
    const int unanswered = recording.Measurement().Unanswered();
    if (unanswered > 0) result.result += QStringLiteral(" (%1 polls unanswered)").arg(unanswered);
    if (end.code != EExit::Ok) Fail(result, end.code, QStringLiteral("%1; %2").arg(end.why, result.result));
}

}  // namespace cli
