#include "chart/StepPanel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <qcustomplot.h>

namespace {
constexpr int Margin = 8;  // pixels between the panel and the plot's edges
}

TStepPanel::TStepPanel(QCustomPlot* chart) : QFrame(chart), FChart(chart), FText(new QLabel(this)) {
    setObjectName("stepPanel");
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 4, 6);
    layout->addWidget(FText);
    auto* close = new QToolButton(this);
    close->setText("×");
    close->setAutoRaise(true);
    close->setAccessibleName("Закрыть");  // no tip: the window shows hints on its parameters only
    layout->addWidget(close, 0, Qt::AlignTop);
    connect(close, &QToolButton::clicked, this, &TStepPanel::HideFigures);
    FChart->installEventFilter(this);
    hide();
}

void TStepPanel::ShowFigures(const QStringList& lines, std::optional<double> stepTime) {
    FText->setText(lines.join('\n'));
    RemoveMark();
    if (stepTime) {
        FMark = new QCPItemStraightLine(FChart);
        FMark->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
        FMark->point1->setCoords(*stepTime, 0);
        FMark->point2->setCoords(*stepTime, 1);
    }
    adjustSize();
    Place();
    show();
    raise();
    FChart->replot();
}

void TStepPanel::HideFigures() {
    const bool shown = !isHidden() || FMark;
    hide();
    RemoveMark();
    if (shown) FChart->replot();
}

QString TStepPanel::Text() const { return isHidden() ? QString() : FText->text(); }

std::optional<double> TStepPanel::MarkedTime() const {
    if (!FMark) return std::nullopt;
    return FMark->point1->key();
}

void TStepPanel::RemoveMark() {
    if (FMark) FChart->removeItem(FMark);
    FMark = nullptr;
}

void TStepPanel::Place() {
    const QRect plot = FChart->axisRect()->rect();
    move(plot.right() - width() - Margin, plot.top() + Margin);
}

bool TStepPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FChart && event->type() == QEvent::Resize && !isHidden()) Place();
    return QFrame::eventFilter(watched, event);
}
