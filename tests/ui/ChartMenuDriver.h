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

#include "ChartMenu.h"
#include "WindowDriver.h"
#include "MainUnit.h"
#include "Wait.h"

namespace testsupport {

class TChartMenuDriver {
public:
    explicit TChartMenuDriver(TMainForm& form) : FForm(form) {
        form.ChartMenu->SetChooser([this](const TChartMenu::TFileRequest& request) {
            Requests.push_back(request);
            return Answer;
        });
        QObject::connect(form.ChartMenu, &TChartMenu::Saved, form.ChartMenu,
                         [this](const QString&, const QString& error) { Outcomes.push_back(error); });
    }

    // A point amid the plot, in the window's coordinates.
    QPoint PlotCentre() const {
        return Ctl<QCustomPlot>(FForm, "Chart1")->mapTo(&FForm, Ctl<QCustomPlot>(FForm, "Chart1")->axisRect()->rect().center());
    }
    // Right click on the plot; the menu once it shows.
    QMenu* Open() {
        QTest::mouseClick(FForm.windowHandle(), Qt::RightButton, {}, PlotCentre());
        QMenu* menu = FForm.ChartMenu->Menu();
        return WaitFor([menu] { return menu->isVisible(); }) ? menu : nullptr;
    }
    // Clicks the entry of an open menu; false when the menu did not close
    // within the limit (a disabled entry: the limit is then a spell to wait).
    bool Choose(QMenu* menu, QAction* action, int limitMs = WaitLimitMs) {
        const QPoint at = menu->actionGeometry(action).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
        return WaitFor([menu] { return !menu->isVisible(); }, limitMs);
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
