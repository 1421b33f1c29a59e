// The traffic log in the window: every frame on the line kept from start-up
// (ms since connecting, or on the measurement's time base while measuring),
// its window opened from the chart's menu, and each failure while measuring
// ticked on the chart's time axis. Main thread.
#include <QFileDialog>

#include "chart/ChartCursor.h"
#include "chart/FailureTicks.h"
#include "window/MainUnit.h"
#include "window/TrafficWindow.h"

void TMainForm::BuildTraffic() {
    FFailureTicks = std::make_unique<TFailureTicks>(Chart1);
    FTraffic = std::make_unique<traffic::TLog>(traffic::Russian(), [this] {
        const QElapsedTimer& clock = FMeasure && FMeasure->Running() ? FMeasureClock : FConnectClock;
        return clock.isValid() ? double(clock.nsecsElapsed()) / 1e6 : 0.0;
    });
    FTraffic->SetSink([this](const traffic::TLine& line) {
        if (line.failure && FMeasure && FMeasure->Running()) FFailureTicks->Mark(line.timeMs);
    });
    Link->SetTrace(FTraffic.get());
}

TTrafficWindow* TMainForm::ShowTraffic() {
    if (!FTrafficView) {
        TTrafficWindow::THooks hooks;
        hooks.showError = [this](const QString& text) { ShowError(text); };
        hooks.choosePath = [this](const QString& suggested) {
            if (RunPathPrompt) return RunPathPrompt(true, suggested);
            return QFileDialog::getSaveFileName(FTrafficView, QString::fromUtf8("Сохранить журнал"), suggested,
                                                QString::fromUtf8("Текст (*.txt)"));
        };
        hooks.showTime = [this](double timeMs) { ChartCursor->ShowAt(timeMs); };
        FTrafficView = new TTrafficWindow(this, *FTraffic, std::move(hooks));
    }
    FTrafficView->show();
    FTrafficView->raise();
    return FTrafficView;
}
