// The main window's layout: every control with its place, texts and
// design-time values, and the chart with its three series.
#include <QPushButton>
#include <qcustomplot.h>

#include "chart/ChartCursor.h"
#include "chart/ChartMenu.h"
#include "chart/SeriesGraph.h"
#include "record/ChartUnits.h"
#include "window/LayoutParts.h"
#include "window/MainUnit.h"
#include "window/StatusBar.h"

using namespace layoutparts;

void TMainForm::BuildLayout() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(ClientWidth, ClientHeight);

    StatusBar = Place<TStatusBar>(this, {0, ClientHeight - TStatusBar::BarHeight, ClientWidth,
                                         TStatusBar::BarHeight});

    // Top band.
    Connection = new TConnectionPanel(this, *this, [this] { btnConnectClick(); },
                                      [this] { btnDisconnectClick(); });
    Drive = new TDrivePanel(this, *this, [this] { ApplyModeRule(); });

    Positions = new TPositionPanel(this, *this);

    btnSTOP = Place<QPushButton>(this, {564, 8, 214, 46}, T("СТОП + СБРОС (F3, F11)"));
    btnSTOP->setDefault(true);  // the window's default button; Enter handling in keyPressEvent
    btnGraph = Button(this, "Измерение (Старт/Стоп) (F2, F12)", {564, 59, 214, 46});

    // Middle band, right: manual drive and the four small groups.
    Drive->BuildDrive(this);

    Settings = new TMeasureSettingsPanel(this);

    BuildChart();

    // Middle band, left: the regulator parameters and the EEPROM banks.
    Params = new TParamPanel(this, *this);
    ParamFiles = new TParamFileActions(this, *Params, *this, [this] { return Drive->Mode(); });

    Settings->BuildPeriod(this);
    NameControls();
}

// Each control is found by the name it has in the window's design: tests and
// tools look controls up by it.
void TMainForm::NameControls() {
    const std::pair<QObject*, const char*> named[] = {
        {StatusBar, "StatusBar"},
        {btnSTOP, "btnSTOP"},
        {btnGraph, "btnGraph"},
        {Chart1, "Chart1"},
        {Series1, "Series1"},
        {Series2, "Series2"},
        {Series3, "Series3"},
        {ChartMenu, "ChartMenu"},
        {ChartCursor, "ChartCursor"},
    };
    for (const auto& [control, name] : named) control->setObjectName(QString::fromLatin1(name));
}

void TMainForm::BuildChart() {
    Chart1 = Place<QCustomPlot>(this, {4, 246, 775, 259});
    // No back wall: the chart shows the window's own background.
    Chart1->setBackground(palette().window());
    Chart1->legend->setVisible(false);
    Chart1->xAxis->setLabel(chartunits::TimeTitle());
    Chart1->yAxis->setLabel(T("Скорость (имп/сек)"));
    Chart1->yAxis2->setLabel(T("рассогласование"));
    Chart1->yAxis2->setVisible(true);
    Chart1->yAxis2->setTickLabels(true);
    // Strokes each series as one polyline instead of segment by segment: the
    // 2-px lines look the same and draw many times faster.
    Chart1->setPlottingHint(QCP::phFastPolylines, true);

    const auto addSeries = [this](QCPAxis* valueAxis, const QColor& color) {
        auto* series = new TSeriesGraph(Chart1->xAxis, valueAxis);
        series->setPen(QPen(color, 2));
        series->setLineStyle(QCPGraph::lsLine);
        series->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
        return series;
    };
    Series1 = addSeries(Chart1->yAxis, Qt::red);
    Series2 = addSeries(Chart1->yAxis2, Qt::darkGreen);  // (0, 128, 0): readable on grey
    Series3 = addSeries(Chart1->yAxis, Qt::blue);
    SetZoomAllowed(true);
    BuildChartTools();
}
