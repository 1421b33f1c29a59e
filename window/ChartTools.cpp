// What the window adds to its chart beyond drawing it: the feed of each new
// sample's points, the context menu with its exports, the runs and the step
// test's entries, the cursor's readout, and what the measurement's start
// tells the exports. Main thread.
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <qcustomplot.h>

#include "chart/ChartCursor.h"
#include "chart/ChartFeed.h"
#include "chart/ChartMenu.h"
#include "chart/StepPanel.h"
#include "window/MainUnit.h"

#include "chart/FailureTicks.h"
#include "window/RunsWindow.h"

void TMainForm::BuildChartTools() {
    // A click gives the chart the focus, so the Menu key reaches it; it is
    // no stop of the Tab chain, and keys it does not take go on to the window.
    Chart1->setFocusPolicy(Qt::ClickFocus);
    const std::vector<TSeriesGraph*> series{Series1, Series2, Series3};
    ChartMenu = new TChartMenu(Chart1, series, [this](const QString& text) { ShowError(text); },
                               [this](const std::function<void()>& handler) { RunHandler(handler); });
    ChartCursor = new TChartCursor(Chart1, series, [this] { return !FMeasure->Running(); });
    ChartMenu->SetStoppedQuery([this] { return !FMeasure->Running(); });
    Runs = new runs::TRunLibrary(this);
    AddRunEntries();
}

// What the points are measured under, for the chart's exports and the run.
recordfacts::TFacts TMainForm::MeasuredUnder(int periodMs, int historyDepth) const {
    const std::string& ident = Link->IdentText();
    return {Drive->ModeText(Drive->Mode()), Settings->UnitText(), periodMs, historyDepth,
            QString::fromLatin1(ident.data(), qsizetype(ident.size()))};
}

// The exports' facts, as the measurement starts.
void TMainForm::NoteChartRun(const recordfacts::TFacts& facts) {
    ChartMenu->StepPanel()->HideFigures();  // they describe the points about to go
    ChartMenu->SetRunFacts(facts);
    FFailureTicks->Clear();  // they belong to the points about to go
}

TChartFeed* TMainForm::ChartFeed() {
    if (!FChartFeed) FChartFeed = new TChartFeed(Chart1, {Series1, Series2, Series3});
    return FChartFeed;
}

void TMainForm::SetZoomAllowed(bool allowed) { ChartFeed()->SetInteractive(allowed); }

namespace {

// The record kept in the chart's own series: the chart draws the record as
// it grows, and holds no second copy of it.
class TChartStore : public measure::TRecordStore {
public:
    explicit TChartStore(std::function<TChartFeed*()> feed) : FFeed(std::move(feed)) {}
    void Add(int series, double key, double value) override { FFeed()->Add(series, key, value); }
    void RemoveFirst(int series) override { FFeed()->RemoveFirst(series); }
    void Clear() override { FFeed()->Clear(); }
    const TChartHistory& History(int series) const override { return FFeed()->History(series); }

private:
    std::function<TChartFeed*()> FFeed;
};

}  // namespace

std::unique_ptr<measure::TRecordStore> TMainForm::ChartStore() {
    return std::make_unique<TChartStore>([this] { return ChartFeed(); });
}

// A new sample's points are in the chart: the axes follow, a redraw is asked.
void TMainForm::ShowNewPoints() {
    ChartFeed()->ApplyAutoRanges();
    ChartFeed()->RequestReplot();
}

void TMainForm::AddRunEntries() {
    QMenu* menu = ChartMenu->Menu();
    menu->addSeparator();
    QAction* runsEntry = menu->addAction(QString::fromUtf8("Прогоны"));
    connect(runsEntry, &QAction::triggered, this, [this] { RunHandlerLater([this] { ShowRuns(); }); });
    QAction* stepEntry = menu->addAction(QString::fromUtf8("Опыт: ступенька…"));
    // The test waits for the controller: not from inside the menu's own code.
    connect(stepEntry, &QAction::triggered, this, [this] { RunHandlerLater([this] { StartStepTest(); }); });
    QAction* tuneEntry = menu->addAction(QString::fromUtf8("Автонастройка…"));
    QAction* trafficEntry = menu->addAction(QString::fromUtf8("Журнал обмена"));
    connect(trafficEntry, &QAction::triggered, this, [this] { RunHandlerLater([this] { ShowTraffic(); }); });
    connect(tuneEntry, &QAction::triggered, this, [this] { RunHandlerLater([this] { StartAutoTune(); }); });
    // Offered while connected and stopped.
    connect(menu, &QMenu::aboutToShow, this, [this, stepEntry, tuneEntry] {
        const bool idle = UART->Enabled() && !FMeasure->Running() && !StepTestRunning() && !AutoTuneRunning();
        stepEntry->setEnabled(idle);
        tuneEntry->setEnabled(idle);
    });
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
        hooks.autoTune = [this] { RunHandlerLater([this] { StartAutoTune(); }); };
        FRunsView = new TRunsWindow(this, *Runs, std::move(hooks));
    }
    FRunsView->show();
    FRunsView->raise();
    return FRunsView;
}
