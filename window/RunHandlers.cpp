// Every measurement becomes a run: begun once its priming polls are in,
// ended (with the chart's points and the figures of the whole record) when
// it stops by the toggle, stop-and-reset or a lost line. The runs window
// opens from the chart's menu. Main thread.
#include <QAction>
#include <QFileDialog>
#include <QMenu>

#include "chart/ChartMenu.h"
#include "window/MainUnit.h"
#include "window/RunsWindow.h"

void TMainForm::BeginRun() {
    runs::TRun run;
    run.started = QDateTime::currentDateTime();
    run.servoMode = Drive->ModeText(Drive->Mode());
    run.velocityUnit = Settings->UnitText();
    run.periodMs = Timer1->interval();
    run.historyDepth = FHistoryDepth;
    const std::string& ident = Link->IdentText();
    run.controller = QString::fromLatin1(ident.data(), qsizetype(ident.size()));
    run.params = Params->Words();
    FRunUnderWay = std::move(run);
}

void TMainForm::EndRun(bool aborted) {
    if (!FRunUnderWay) return;
    runs::TRun run = std::move(*FRunUnderWay);
    FRunUnderWay.reset();
    const chartcsv::TTable table = ChartMenu->Table(QDateTime::currentDateTime());
    run.timeName = QString::fromStdString(table.timeName);
    for (size_t i = 0; i < table.columns.size() && i < run.series.size(); ++i) {
        run.seriesNames[i] = QString::fromStdString(table.columns[i].name);
        run.series[i] = table.columns[i].points;
    }
    if (run.Points() == 0) return;  // nothing was measured
    run.aborted = aborted;
    run.Analyse();
    Runs->Add(std::move(run));
}

void TMainForm::AddRunEntries() {
    QMenu* menu = ChartMenu->Menu();
    menu->addSeparator();
    QAction* runsEntry = menu->addAction(QString::fromUtf8("Прогоны"));
    connect(runsEntry, &QAction::triggered, this, [this] { RunHandlerLater([this] { ShowRuns(); }); });
    QAction* stepEntry = menu->addAction(QString::fromUtf8("Опыт: ступенька…"));
    // The test waits for the controller: not from inside the menu's own code.
    connect(stepEntry, &QAction::triggered, this, [this] { RunHandlerLater([this] { StartStepTest(); }); });
    // Offered while connected and stopped.
    connect(menu, &QMenu::aboutToShow, this,
            [this, stepEntry] { stepEntry->setEnabled(UART->Enabled() && FMeasureStopped && !StepTestRunning()); });
}

TRunsWindow* TMainForm::ShowRuns() {
    if (!FRunsView) {
        TRunsWindow::THooks hooks;
        hooks.showError = [this](const QString& text) { ShowError(text); };
        hooks.loadParams = [this](const paramfile::TParamSet& set, const QString& about) {
            RunHandler([&] { ParamFiles->LoadSet(set, about); });
        };
        hooks.choosePath = [this](bool save, const QString& suggested) {
            if (RunPathPrompt) return RunPathPrompt(save, suggested);
            const QString filter = QString::fromUtf8("CSV (*.csv)");
            return save ? QFileDialog::getSaveFileName(FRunsView, QString::fromUtf8("Сохранить прогон"),
                                                       suggested, filter)
                        : QFileDialog::getOpenFileName(FRunsView, QString::fromUtf8("Открыть прогон"),
                                                       QString(), filter);
        };
        FRunsView = new TRunsWindow(this, *Runs, std::move(hooks));
    }
    FRunsView->show();
    FRunsView->raise();
    return FRunsView;
}
