// measure: velocity samples polled on a steady period for a while, then
// written as the chart's CSV export.
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include "cli/Commands.h"
#include "cli/MeasureTable.h"
#include "record/FileSaveJob.h"

namespace cli {

namespace {

struct TPolls {
    std::vector<TLinkSample> samples;
    int unanswered = 0;
};

// As the window: two polls first, so the first sample kept has its
// predecessor in this run; then one a period, or at once after a late reply.
TPolls Poll(TDeviceSession& session, const TOptions& options) {
    const auto poll = [&session] { return session.Transact([](TControllerLink& link) { return link.SendGetSample(); }); };
    poll(), poll();
    TPolls polls;
    const QDeadlineTimer end(options.durationMs, Qt::PreciseTimer);
    QDeadlineTimer next(0, Qt::PreciseTimer);
    while (!end.hasExpired()) {
        WaitUntil(next);
        next = QDeadlineTimer(options.periodMs, Qt::PreciseTimer);
        if (poll() == lsDone) polls.samples.push_back(session.Link().Sample());
        else ++polls.unanswered;
    }
    return polls;
}

}  // namespace

void RunMeasure(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    if (!Step(session, result, "m", [](TControllerLink& link) { return link.SendGetMode(); })) return;
    if (!Step(session, result, "R2", [](TControllerLink& link) { return link.SendReadParam(1); })) return;
    TMeasureFacts facts{session.Mode(), session.Link().Params()[1], in.options.periodMs, session.Ident(), {}};
    const TPolls polls = Poll(session, in.options);
    facts.at = QDateTime::currentDateTime();
    if (polls.samples.empty()) {
        Fail(result, EExit::TimedOut, QStringLiteral("no sample answered"));
        return;
    }
    const chartcsv::TTable table = MeasureTable(facts, polls.samples);
    const QString error = TFileSaveJob::WriteFile(in.output, [&table](QIODevice& out) { return chartcsv::Write(table, out); });
    if (!error.isEmpty()) {
        Fail(result, EExit::BadFile, QStringLiteral("%1 not written: %2").arg(in.output, error));
        return;
    }
    result.result = QStringLiteral("%1 samples to %2").arg(polls.samples.size()).arg(in.output);
    if (polls.unanswered > 0) result.result += QStringLiteral(" (%1 polls unanswered)").arg(polls.unanswered);
}

}  // namespace cli
