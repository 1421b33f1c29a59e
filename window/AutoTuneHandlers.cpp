// The automatic tuning in the window: the limits asked, then one step test
// after another with the gains the search asks for (only Kp and Ki written,
// and read back), each a run named "Автонастройка N", watched by the guard;
// at the end the start and the best side by side in the runs window and the
// user's choice of the words the controller keeps. Esc, "СТОП + СБРОС", a
// lost line or a silent controller abort it and the starting words go back.
// Main thread.
#include <QProgressDialog>

#include "link/ParamWords.h"
#include "record/SamplePlot.h"
#include "window/AutoTuneDialog.h"
#include "window/AutoTuneRun.h"
#include "window/MainUnit.h"
#include "window/RunsWindow.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int BeforeMs = 150, AfterMs = 600, PeriodMs = 2;

QString GainsText(const paramsync::TWords& words) {
    return U("Kp %1, Ki %2").arg(paramwords::Text(2, words[2]), paramwords::Text(3, words[3]));
}

}  // namespace

void TMainForm::StartAutoTune() {
    if (FTune || StepTestRunning() || FMeasure->Running() || !UART->Enabled()) return;
    if (Drive->Mode() != protocol::smVelocity)
        return ShowError(U("Автонастройка — только в серво-режиме \"Скорость\": выберите его"));
    autotune::TLimitsDialog dialog(this, FTuneLimits);
    if (dialog.exec() != QDialog::Accepted) return;
    FTuneLimits = dialog.Limits();
    const paramsync::TReadBack start = paramsync::ReadAll(*Link);
    if (!start.Complete())
        return ShowError(U("Автонастройка не начата: ") + paramsync::FailureText(start.failed, start.FailedStep()));
    FTune = std::make_unique<TAutoTuneRun>(FTuneLimits, start.words);
    auto* progress = new QProgressDialog(U("Автонастройка…"), U("Прервать"), 0, FTuneLimits.maxExperiments, this);
    progress->setObjectName("dlgTuneProgress");
    progress->setWindowTitle(U("Автонастройка"));
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    connect(progress, &QProgressDialog::canceled, this,
            [this] { RunHandlerLater([this] { AbortStepTest() || AbortAutoTune(true, U("прервана")); }); });
    FTune->progress = progress;
    progress->show();
    NextTuneExperiment();
}

// The next gains written and stepped; the search or the time over: the result.
void TMainForm::NextTuneExperiment() {
    if (!FTune) return;
    const auto gains = FTune->search.Next();
    if (!gains || FTune->clock.elapsed() > qint64(FTune->limits.maxSeconds) * 1000) return FinishAutoTune();
    paramsync::TWords words = FTune->start;
    words[2] = gains->kp;
    words[3] = gains->ki;
    const paramsync::TStored stored =
        paramsync::WriteVerifySave(*Link, words, std::nullopt, paramsync::EOnFailure::Stop);
    if (!stored.Fine(words)) return void(AbortAutoTune(UART->Enabled(), U("параметры не записаны")));
    FTune->guard.emplace(FTune->limits.maxVelocity);
    FTune->stopped = tune::EStopped::None;
    const int n = int(FTune->runIds.size()) + 1;
    if (FTune->progress) {
        FTune->progress->setValue(n - 1);
        FTune->progress->setLabelText(U("Опыт %1 из не более %2: %3\n%4")
                                          .arg(n).arg(FTune->limits.maxExperiments)
                                          .arg(GainsText(words), BestSoFar()));
    }
    FStepSettings = {FTune->limits.stepSize, BeforeMs, AfterMs, PeriodMs, true};
    const measure::EStepStart start = RunStepTest();
    if (start == measure::EStepStart::Ready) return;
    // Gains under which the motor will not rest at drive 0 are judged as any that fail.
    if (start != measure::EStepStart::NotAtRest) return void(AbortAutoTune(UART->Enabled(), U("опыт не начат")));
    FTune->stopped = tune::EStopped::NotAtRest;
    TuneExperimentEnded(false);
}

QString TMainForm::BestSoFar() const {
    const auto best = FTune->search.Best();
    if (!best) return U("Лучшее пока: нет");
    return U("Лучшее пока: Kp %1, Ki %2 — установление %3 мс")
        .arg(paramwords::Text(2, best->gains.kp), paramwords::Text(3, best->gains.ki))
        .arg(best->verdict.settlingMs, 0, 'f', 0);
}

// Each sample of an experiment: stopped at once past the velocity limit or
// on a growing oscillation.
void TMainForm::WatchTuneSample() {
    if (!FTune || !FTune->guard || !StepTestRunning() || FTune->stopped != tune::EStopped::None) return;
    const double actual = FMeasure->LastSample().velocity * 0.2;
    const double command = sampleplot::CommandVelocity(Drive->BarPosition(), Params->Words()[1]) / 1000;
    FTune->stopped = FTune->guard->Check(actual, command);
    if (FTune->stopped == tune::EStopped::None) return;
    RunHandlerLater([this] {
        if (!FTune || !FMeasure->DropStep()) return;
        Drive->CentreBar();
        btnGraphClick();  // stops: the run is kept with its figures
        EndStepTest();
        TuneExperimentEnded();
    });
}

// An experiment's run is in the library (unless it never started): named,
// judged, and the next one.
void TMainForm::TuneExperimentEnded(bool recorded) {
    if (!FTune) return;
    const runs::TRun* run = !recorded || Runs->Runs().empty() ? nullptr : Runs->Runs().back().get();
    const int n = int(FTune->runIds.size()) + 1;
    if (run) Runs->Rename(run->id, U("Автонастройка %1").arg(n));
    FTune->runIds.push_back(run ? run->id : 0);
    const stepfig::TStepFigures figures = run ? run->analysis.Figures : stepfig::Lacking(stepfig::EFigureLack::NoStep);
    FTune->search.Report(tune::Judge(figures, FTune->stopped, FTune->limits.overshootPct));
    RunHandlerLater([this] { NextTuneExperiment(); });
}

// Ended early: the starting words back where the line still carries them.
bool TMainForm::AbortAutoTune(bool lineUsable, const QString& why) {
    if (!FTune) return false;
    const std::unique_ptr<TAutoTuneRun> tune = std::move(FTune);
    if (tune->progress) tune->progress->deleteLater();
    QString text = U("Автонастройка ") + why + U(". ");
    if (!lineUsable) {
        text += U("Исходные параметры НЕ возвращены: линия потеряна. Проверьте параметры контроллера.");
    } else {
        const paramsync::TStored stored =
            paramsync::WriteVerifySave(*Link, tune->start, std::nullopt, paramsync::EOnFailure::GoOn);
        text += stored.Fine(tune->start) ? U("Исходные параметры возвращены (") + GainsText(tune->start) + U(").")
                                         : U("Исходные параметры НЕ возвращены: контроллер не подтвердил их. "
                                             "Проверьте параметры контроллера.");
    }
    ShowError(text);
    return true;
}

// The start and the best side by side; the user decides what the controller keeps.
void TMainForm::FinishAutoTune() {
    const std::unique_ptr<TAutoTuneRun> tune = std::move(FTune);
    if (tune->progress) tune->progress->deleteLater();
    const auto best = tune->search.Best();
    const double seconds = double(tune->clock.elapsed()) / 1000;
    const int n = int(tune->runIds.size());
    const paramsync::TStored back =
        paramsync::WriteVerifySave(*Link, tune->start, std::nullopt, paramsync::EOnFailure::GoOn);
    const QString restored = back.Fine(tune->start) ? U("исходные параметры возвращены")
                                                    : U("исходные параметры НЕ возвращены: проверьте контроллер");
    if (!best)
        return ShowError(U("Автонастройка: за %1 опытов (%2 с) ни одна пара Kp, Ki не дала перерегулирование "
                           "не больше %3 % без установившейся ошибки; %4.")
                             .arg(n).arg(seconds, 0, 'f', 1).arg(tune->limits.overshootPct).arg(restored));
    size_t i = 0;
    while (i + 1 < tune->search.Tried().size() && !(tune->search.Tried()[i].gains == best->gains)) ++i;
    const runs::TRun* start = Runs->Find(tune->runIds.front());
    const runs::TRun* tuned = Runs->Find(tune->runIds[i]);
    if (!start || !tuned) return ShowError(U("Автонастройка: прогоны опытов не найдены; ") + restored);
    TRunsWindow* view = ShowRuns();
    Runs->SetReference(start->id);
    for (int id : view->Overlaid()) view->SetOverlaid(id, false);
    view->SetOverlaid(start->id, true);
    view->SetOverlaid(tuned->id, true);
    paramsync::TWords words = tune->start;
    words[2] = best->gains.kp;
    words[3] = best->gains.ki;
    autotune::TResultDialog dialog(this, *start, *tuned,
                                   U("%1 опытов за %2 с. Сейчас в контроллере исходные параметры.")
                                       .arg(n).arg(seconds, 0, 'f', 1));
    dialog.exec();
    ApplyTuneChoice(dialog.Choice(), dialog.Bank(), words);
}

void TMainForm::ApplyTuneChoice(autotune::EChoice choice, int bank, const paramsync::TWords& words) {
    if (choice == autotune::EChoice::Restore || !UART->Enabled()) return;
    const auto save = choice == autotune::EChoice::ApplyAndSave ? std::optional<uint8_t>(uint8_t(bank)) : std::nullopt;
    const paramsync::TStored stored = paramsync::WriteVerifySave(*Link, words, save, paramsync::EOnFailure::Stop);
    if (!stored.Fine(words))
        ShowError(U("Настроенные параметры не записаны: контроллер не подтвердил их") +
                  (save ? U("; в Bank %1 ничего не сохранено").arg(bank) : QString()));
}
