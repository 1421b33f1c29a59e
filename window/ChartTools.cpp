// What the window adds to its chart beyond drawing it: the context menu with
// its exports and the cursor's readout, and what the measurement's start
// tells the exports. Main thread.
#include <QLineEdit>
#include <qcustomplot.h>

#include "chart/ChartCursor.h"
#include "chart/ChartMenu.h"
#include "chart/StepPanel.h"
#include "window/MainUnit.h"

void TMainForm::BuildChartTools() {
    // A click gives the chart the focus, so the Menu key reaches it; it is
    // no stop of the Tab chain, and keys it does not take go on to the window.
    Chart1->setFocusPolicy(Qt::ClickFocus);
    const std::vector<TSeriesGraph*> series{Series1, Series2, Series3};
    ChartMenu = new TChartMenu(Chart1, series, [this](const QString& text) { ShowError(text); },
                               [this](const std::function<void()>& handler) { RunHandler(handler); });
    ChartCursor = new TChartCursor(Chart1, series, [this] { return FMeasureStopped == 1; });
    ChartMenu->SetStoppedQuery([this] { return FMeasureStopped == 1; });
    Runs = new runs::TRunLibrary(this);
    AddRunEntries();
}

// The settings the points are measured under, as the measurement starts.
void TMainForm::NoteChartRun() {
    ChartMenu->StepPanel()->HideFigures();  // they describe the points about to go
    const std::string& ident = Link->IdentText();
    ChartMenu->SetRunFacts({Drive->ModeText(Drive->Mode()),
                            Settings->UnitText(), Timer1->interval(),
                            FHistoryDepth, QString::fromLatin1(ident.data(), qsizetype(ident.size()))});
}
