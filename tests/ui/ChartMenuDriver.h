// Driving the chart's context menu as a user does: a right click on the
// plot (or the Menu key), a click on an entry, and a file name given where
// the save dialog would ask for it.
#pragma once

#include <vector>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <qcustomplot.h>

#include "chart/ChartMenu.h"
#include "tests/support/PopupDriver.h"
#include "tests/support/Wait.h"
#include "tests/support/WindowDriver.h"
#include "window/MainUnit.h"
#include "tests/support/WindowParts.h"

namespace testsupport {

class TChartMenuDriver {
public:
    explicit TChartMenuDriver(TMainForm& form) : FForm(form) {
        testsupport::Parts(form).ChartMenu->SetChooser([this](const TChartMenu::TFileRequest& request) {
            Requests.push_back(request);
            return Answer;
        });
        QObject::connect(testsupport::Parts(form).ChartMenu, &TChartMenu::Saved, testsupport::Parts(form).ChartMenu,
                         [this](const QString&, const QString& error) { Outcomes.push_back(error); });
    }

    // Right click amid the plot; the menu once it shows.
    QMenu* Open() {
        auto* chart = Ctl<QCustomPlot>(FForm, "Chart1");
        return RightClickMenu(*chart, chart->axisRect()->rect().center());
    }
    bool Choose(QMenu* menu, QAction* action, int limitMs = WaitLimitMs) {
        return ChooseAction(menu, action, limitMs);
    }
    // Opens the menu, chooses the entry and waits for its file to be written.
    bool Export(QAction* action, const QString& path, int filter = 0) {
        Answer = {path, filter};
        const size_t before = Outcomes.size();
        QMenu* menu = Open();
        if (!menu || !Choose(menu, action)) return false;
        return WaitFor([&] { return Outcomes.size() > before; });
    }

    TChartMenu::TFileChoice Answer;
    std::vector<TChartMenu::TFileRequest> Requests;
    std::vector<QString> Outcomes;  // the error of each finished export, empty for success

private:
    TMainForm& FForm;
};

}  // namespace testsupport
