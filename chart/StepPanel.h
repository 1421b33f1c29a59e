// The step-response figures over the chart: a small panel in the plot's
// upper right corner and a dashed line marking the step's time, both until
// the chart is cleared, the panel's own close button is pressed, or the
// figures are worked out again. Main thread; a child of its chart.
#pragma once

#include <optional>

#include <QFrame>
#include <QStringList>

class QCPItemStraightLine;
class QCustomPlot;
class QLabel;

class TStepPanel : public QFrame {
    Q_OBJECT
public:
    explicit TStepPanel(QCustomPlot* chart);

    // The lines to show, and the step's time to mark (none: no mark).
    void ShowFigures(const QStringList& lines, std::optional<double> stepTime);
    void HideFigures();
    QString Text() const;
    // The marked time, while the mark is shown.
    std::optional<double> MarkedTime() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();
    void RemoveMark();

    QCustomPlot* FChart;
    QLabel* FText;
    QCPItemStraightLine* FMark = nullptr;
};
