// tune: the velocity loop's Kp and Ki found by closed-loop step tests (the
// search of tune/), in the velocity mode, within the user's limits. Each
// experiment: the two words written and read back, the regulator reset from
// rest, a step test watched by the guard. At the end the starting words go
// back (verified), unless --apply keeps the best (and --bank saves them).
// Ctrl-C, a lost line or a silent controller end it; the starting words go
// back where the line still carries them. The port's thread.
#include <QElapsedTimer>
#include <QJsonArray>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/Progress.h"
#include "cli/Recording.h"
#include "cli/StepOutput.h"
#include "link/ParamWords.h"
#include "link/Protocol.h"
#include "measure/StepStart.h"
#include "paramset/ParamSync.h"
#include "tune/Guard.h"
#include "tune/Search.h"

namespace cli {

namespace {

constexpr int BeforeMs = 150, AfterMs = 600, PeriodMs = 2;
// Gains under which the motor has not come to rest by then are judged as failing.
constexpr int RestLimitMs = 2000;

struct TExperiment {
    std::optional<runs::TRun> run;
    tune::EStopped stopped = tune::EStopped::None;
    TRecordEnd end;  // not Ok: the tuning ends
};

paramsync::TWords WithGains(paramsync::TWords words, tune::TGains gains) {
    words[2] = gains.kp;
    words[3] = gains.ki;
    return words;
}

QString GainsText(tune::TGains g) {
    return QStringLiteral("Kp %1 Ki %2").arg(paramwords::Text(2, g.kp), paramwords::Text(3, g.ki));
}

// Written and read back, or why not.
std::optional<QString> Write(TDeviceSession& session, const paramsync::TWords& words) {
    const paramsync::TStored stored =
        paramsync::WriteVerifySave(session.Link(), words, std::nullopt, paramsync::EOnFailure::Stop);
    if (stored.Fine(words)) return std::nullopt;
    return stored.writes.AllAccepted() ? QStringLiteral("the words read back differ")
                                       : QStringLiteral("a write failed: %1").arg(stored.writes.FailureLines().join("; "));
}

TExperiment Experiment(TDeviceSession& session, const paramsync::TWords& words, const TCommandInput& in,
                       TDeviceResult& result) {
    TExperiment e;
    if (!Step(session, result, "B", [](TControllerLink& link) { return link.SendSubCommand(0); })) {
        e.end = {result.code, result.result, true};
        return e;
    }
    const measure::TStepStarted start = measure::PrepareStep(session.Link(), session.Mode(), {.resetFirst = true, .limitMs = RestLimitMs});
    // Gains under which the motor will not rest at drive 0 are judged as any that fail.
    if (start.outcome == measure::EStepStart::NotAtRest) {
        e.stopped = tune::EStopped::NotAtRest;
        return e;
    }
    if (start.outcome != measure::EStepStart::Ready) {
        e.end = {ExitOf(start.state), StepFailure(start.state, QString(QChar::fromLatin1(char(start.code)))), true};
        return e;
    }
    TRecording recording(session, words[1], result.port);
    recording.Plan({in.options.tune.stepSize, BeforeMs, AfterMs, PeriodMs, true});
    tune::TGuard guard(in.options.tune.maxVelocity);
    recording.Watch([&](const sampleplot::TPlaced& placed) {
        if (!placed.points[0] || !placed.points[2]) return false;
        e.stopped = guard.Check(*placed.points[0], *placed.points[2]);
        return e.stopped != tune::EStopped::None;
    });
    e.end = recording.Run(PeriodMs);
    recording.Centre(e.end);
    e.run = recording.TakeRun(e.end.code != EExit::Ok);
    if (e.run) e.run->params = words;
    return e;
}

const char* StoppedWords(tune::EStopped stopped) {
    switch (stopped) {
    case tune::EStopped::VelocityLimit: return "stopped: over the velocity limit";
    case tune::EStopped::GrowingOscillation: return "stopped: growing oscillation";
    case tune::EStopped::NotAtRest: return "not stepped: the motor would not rest at drive 0 under these gains";
    default: return "";
    }
}

QString ExperimentLine(int n, tune::TGains gains, const TExperiment& e) {
    const QString what = e.stopped != tune::EStopped::None ? QString::fromLatin1(StoppedWords(e.stopped))
                         : e.run                            ? FiguresLine(*e.run)
                                                            : QStringLiteral("no record");
    return QStringLiteral("experiment %1, %2: %3").arg(n).arg(GainsText(gains), what);
}

struct TTuning {
    paramsync::TWords start{};
    tune::TSearch search;
    std::vector<std::optional<runs::TRun>> runs;  // one an experiment, as tried
    std::optional<TRecordEnd> ended;              // why it ended early
};

// The experiments, until the search, the experiments or the time end.
void Search(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result, TTuning& t) {
    const tune::TLimits& limits = in.options.tune;
    QElapsedTimer clock;
    clock.start();
    while (const auto gains = t.search.Next()) {
        if (clock.elapsed() > qint64(limits.maxSeconds) * 1000) break;
        if (Interrupted()) return void(t.ended = TRecordEnd{EExit::Interrupted, QStringLiteral("interrupted"), true});
        const paramsync::TWords words = WithGains(t.start, *gains);
        if (const auto failed = Write(session, words))
            return void(t.ended = TRecordEnd{EExit::Mismatch, *failed, !session.Link().LineLost()});
        const TExperiment e = Experiment(session, words, in, result);
        if (e.end.code != EExit::Ok) return void(t.ended = e.end);
        t.runs.push_back(e.run);
        const stepfig::TStepFigures figures = e.run ? e.run->analysis.Figures : stepfig::Lacking(stepfig::EFigureLack::NoStep);
        t.search.Report(tune::Judge(figures, e.stopped, limits.overshootPct));
        Progress(result.port, ExperimentLine(int(t.runs.size()), *gains, e));
    }
}

QJsonObject GainsJson(const paramsync::TWords& words, const std::optional<runs::TRun>& run) {
    QJsonArray array;
    for (uint16_t w : words) array.append(int(w));
    QJsonObject o{{"kp", paramwords::Text(2, words[2]).toDouble()}, {"ki", paramwords::Text(3, words[3]).toDouble()},
                  {"words", array}};
    if (run) o.insert("figures", FiguresObject(*run));
    return o;
}

// The record of the best experiment: the search tried in the order the runs were made.
const std::optional<runs::TRun>& BestRun(const TTuning& t, const tune::TTried& best) {
    const auto& tried = t.search.Tried();
    size_t i = 0;
    while (i + 1 < tried.size() && !(tried[i].gains == best.gains)) ++i;
    return t.runs[i];
}

// The words the controller is left with: the best applied (and saved), or the starting ones back.
void Finish(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result, const TTuning& t,
            double seconds) {
    const auto best = t.search.Best();
    const bool apply = in.options.apply && best && !t.ended;
    const paramsync::TWords left = apply ? WithGains(t.start, best->gains) : t.start;
    const auto bank = apply && in.options.bank ? std::optional<uint8_t>(uint8_t(*in.options.bank)) : std::nullopt;
    const paramsync::TStored stored = paramsync::WriteVerifySave(session.Link(), left, bank, paramsync::EOnFailure::GoOn);
    const int n = int(t.runs.size());
    const std::optional<runs::TRun> none;
    const std::optional<runs::TRun>& bestRun = best ? BestRun(t, *best) : none;
    QString text = best ? QStringLiteral("tuned %1 in %2 experiments, %3 s: %4")
                              .arg(GainsText(best->gains)).arg(n).arg(seconds, 0, 'f', 1)
                              .arg(bestRun ? FiguresLine(*bestRun) : QString())
                        : QStringLiteral("no gains met the target in %1 experiments, %2 s").arg(n).arg(seconds, 0, 'f', 1);
    text += apply ? (bank ? QStringLiteral("; applied and saved in bank %1").arg(*bank) : QStringLiteral("; applied"))
                  : QStringLiteral("; the starting words written back");
    if (!stored.Fine(left)) text += QStringLiteral("; BUT the controller does not hold them: check its parameters");
    result.result = text;
    QJsonObject tuning{{"experiments", n}, {"seconds", seconds}, {"start", GainsJson(t.start, t.runs.empty() ? std::nullopt : t.runs[0])}};
    if (best) tuning.insert("tuned", GainsJson(WithGains(t.start, best->gains), bestRun));
    result.figures = tuning;
    if (t.ended) Fail(result, t.ended->code, t.ended->why + QStringLiteral("; ") + text);
    else if (!stored.Fine(left)) Fail(result, EExit::Mismatch, text);
    else if (!best) Fail(result, EExit::NotTuned, text);
}

}  // namespace

void RunTune(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    QElapsedTimer clock;
    clock.start();
    if (session.Mode() != protocol::smVelocity) {
        if (!Step(session, result, "M", [](TControllerLink& link) { return link.SendSetMode(protocol::smVelocity); }) ||
            !Step(session, result, "m", [](TControllerLink& link) { return link.SendGetMode(); }))
            return;
    }
    const paramsync::TReadBack words = paramsync::ReadAll(session.Link());
    if (!words.Complete()) return Fail(result, ExitOf(words.failed), StepFailure(words.failed, words.FailedStep()));
    TTuning t{words.words, tune::TSearch({words.words[2], words.words[3]}, in.options.tune.overshootPct,
                                          in.options.tune.maxExperiments), {}, {}};
    try {
        Search(session, in, result, t);
    } catch (const ELinkLost&) {
        t.ended = TRecordEnd{EExit::PortFailed, QStringLiteral("line lost"), false};
    }
    if (t.ended && !t.ended->lineUsable)
        return Fail(result, t.ended->code, t.ended->why + QStringLiteral("; the starting words could not be written back"));
    Finish(session, in, result, t, double(clock.elapsed()) / 1000);
}

}  // namespace cli
