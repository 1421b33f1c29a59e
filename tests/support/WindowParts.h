// The window's parts besides its controls (those a test finds by name
// through the driver): the port, the link, the panels, the chart's series,
// menu, cursor and failure ticks, the runs and the run-file prompt. The one place outside
// the window that reaches them. Main thread only.
#pragma once

#include <functional>
#include <memory>

#include "chart/FailureTicks.h"
#include "window/MainUnit.h"

namespace testsupport {

struct TWindowParts {
    explicit TWindowParts(TMainForm& form)
        : UART(form.UART),
          Link(form.Link.get()),
          Connection(form.Connection),
          Drive(form.Drive),
          Params(form.Params),
          ParamFiles(form.ParamFiles),
          Positions(form.Positions),
          Settings(form.Settings),
          Runs(form.Runs),
          RunPathPrompt(form.RunPathPrompt),
          StatusBar(form.StatusBar),
          btnSTOP(form.btnSTOP),
          btnGraph(form.btnGraph),
          Chart1(form.Chart1),
          Series1(form.Series1),
          Series2(form.Series2),
          Series3(form.Series3),
          ChartMenu(form.ChartMenu),
          ChartCursor(form.ChartCursor),
          FailureTicks(form.FFailureTicks.get()) {}

    TComm* UART;
    TControllerLink* Link;
    TConnectionPanel* Connection;
    TDrivePanel* Drive;
    TParamPanel* Params;
    TParamFileActions* ParamFiles;
    TPositionPanel* Positions;
    TMeasureSettingsPanel* Settings;
    runs::TRunLibrary* Runs;
    std::function<QString(bool save, const QString& suggested)>& RunPathPrompt;
    TStatusBar* StatusBar;
    QPushButton* btnSTOP;
    QPushButton* btnGraph;
    QCustomPlot* Chart1;
    TSeriesGraph* Series1;
    TSeriesGraph* Series2;
    TSeriesGraph* Series3;
    TChartMenu* ChartMenu;
    TChartCursor* ChartCursor;
    TFailureTicks* FailureTicks;
};

inline TWindowParts Parts(TMainForm& form) { return TWindowParts(form); }
inline TWindowParts Parts(TMainForm* form) { return TWindowParts(*form); }
inline TWindowParts Parts(const std::unique_ptr<TMainForm>& form) { return TWindowParts(*form); }

}  // namespace testsupport
