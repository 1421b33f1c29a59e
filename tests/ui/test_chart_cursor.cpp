// The cursor's readout: values interpolated between neighbouring points,
// shown under the mouse over the plot while stopped, in each series' colour
// with its unit; gone outside the plot and while measuring; redrawn alone on
// its own layer; never part of an exported picture.
#include <cmath>
#include <limits>

#include <QImage>
#include <qcustomplot.h>

#include "chart/ChartCursor.h"
#include "chart/ChartFeed.h"
#include "chart/ChartImage.h"
#include "record/ChartHistory.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartMenuDriver.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

TEST(ChartCursorValue, InterpolatedBetweenNeighboursNoneOutside) {
    TChartHistory history;
    for (auto [key, value] : {std::pair{0.0, 1.0}, {8.0, 5.0}, {8.0, 7.0}, {16.0, 5.0}}) history.Add(key, value);
    const std::optional<double> none;
    const std::pair<double, std::optional<double>> cases[] = {
        {-1, none}, {0, 1.0},  {2, 2.0},     {6, 4.0},   {8, 5.0},  // a key held twice: its first point
        {12, 6.0},  {16, 5.0}, {16.5, none}, {std::numeric_limits<double>::quiet_NaN(), none},
    };
    for (const auto& [time, value] : cases) EXPECT_EQ(TChartCursor::ValueAt(history, time), value) << time;
    TChartHistory single;
    EXPECT_EQ(TChartCursor::ValueAt(single, 0), none);
    single.Add(3, -2);
    EXPECT_EQ(TChartCursor::ValueAt(single, 3), -2.0);
    EXPECT_EQ(TChartCursor::ValueAt(single, 3.5), none);
}

namespace {

class TChartCursorView : public TSimWindowTest {
protected:
    void SetUp() override {
        TSimWindowTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NO_FATAL_FAILURE(Connect());  // a disconnected window's chart takes no mouse
        Chart = Ctl<QCustomPlot>(*Form, "Chart1");
        Cursor = testsupport::Parts(Form).ChartCursor;
        Chart->yAxis->setLabel(U("Скорость (мм/мин)"));
        Chart->yAxis2->setLabel(U("Рассогласование (импульсов)"));
        // One millisecond per pixel column; a column whose time is exact.
        Chart->replot();
        const QCPAxisRect* rect = Chart->axisRect();
        Chart->xAxis->setRange(0, rect->width());
        for (int x = rect->width() / 2; x < rect->width(); ++x) {
            if (Chart->xAxis->pixelToCoord(rect->left() + x) == double(x)) {
                Column = rect->left() + x;
                Time = x;
                break;
            }
        }
        ASSERT_GT(Time, 0.0);
        const auto points = [this](std::initializer_list<std::pair<double, double>> offsets) {
            QVector<QCPGraphData> data;
            for (auto [dt, value] : offsets) data.append(QCPGraphData(Time + dt, value));
            return data;
        };
        Form->ChartFeed()->Assign(0, points({{-10, 0}, {-2, 1}, {6, 5}, {20, 5}}));
        Form->ChartFeed()->Assign(1, points({{-4, -4}, {4, 4}}));
        Form->ChartFeed()->Assign(2, points({{10, 2}, {20, 4}}));  // starts after the cursor's time
        Chart->replot();
        // Away from wherever an earlier test left the mouse: a move to the
        // point the mouse is at already is no move.
        QTest::mouseMove(Form->windowHandle(), QPoint(1, 1));
    }
    // The mouse moved to a point of the chart, as the window system delivers it.
    void MoveTo(QPoint chartPoint) {
        QTest::mouseMove(Form->windowHandle(), Chart->mapTo(Form.get(), chartPoint));
    }
    int PlotMiddle() const { return Chart->axisRect()->rect().center().y(); }

    QCustomPlot* Chart = nullptr;
    TChartCursor* Cursor = nullptr;
    int Column = 0;
    double Time = 0;
};

}  // namespace

TEST_F(TChartCursorView, ShowsTheInterpolatedValuesAtTheMousesTime) {
    MoveTo({Column, PlotMiddle()});
    ASSERT_TRUE(Cursor->Shown());
    EXPECT_EQ(Cursor->Time(), Time);
    const std::vector<std::optional<double>> expected{2.0, 0.0, std::nullopt};
    EXPECT_EQ(Cursor->Values(), expected);
    const std::vector<TChartCursor::TLine> lines = Cursor->Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, QStringLiteral("%1.0 ").arg(int(Time)) + U("мсек"));  // as the axis says
    EXPECT_EQ(lines[1].text, U("2 мм/мин"));
    EXPECT_EQ(lines[1].color, QColor(Qt::red));
    EXPECT_EQ(lines[2].text, U("0 импульсов"));
    EXPECT_EQ(lines[2].color, QColor(0, 128, 0));
    // Drawn: the line runs down the column where the plot is otherwise empty.
    const QImage shown = Chart->grab().toImage();
    const QRect plot = Chart->axisRect()->rect();
    int dark = 0;
    for (int y = plot.top() + 2; y < plot.bottom() - 2; ++y)
        dark += shown.pixelColor(Column, y) == QColor(64, 64, 64);
    EXPECT_GT(dark, plot.height() / 4);
}

TEST_F(TChartCursorView, MovesRedrawTheCursorsLayerAlone) {
    MoveTo({Column, PlotMiddle()});
    ASSERT_TRUE(Cursor->Shown());
    EXPECT_EQ(Chart->layer(TChartCursor::LayerName)->mode(), QCPLayer::lmBuffered);
    int full = 0;
    QObject::connect(Chart, &QCustomPlot::afterReplot, Chart, [&full] { ++full; });
    const QImage before = Chart->grab().toImage();
    for (int dx = 1; dx <= 10; ++dx) MoveTo({Column + dx, PlotMiddle()});
    EXPECT_EQ(full, 0);
    EXPECT_EQ(Cursor->Time(), Chart->xAxis->pixelToCoord(Column + 10));
    EXPECT_NE(Chart->grab().toImage(), before);
    // Zooming redraws the chart once, and the reading follows the new time under the mouse.
    Chart->xAxis->setRange(0, 2 * Chart->axisRect()->width());
    EXPECT_EQ(Cursor->Time(), Chart->xAxis->pixelToCoord(Column + 10));
}

TEST_F(TChartCursorView, GoneOutsideThePlotAndWhileMeasuring) {
    MoveTo({Column, PlotMiddle()});
    ASSERT_TRUE(Cursor->Shown());
    MoveTo({Column, Chart->axisRect()->rect().bottom() + 10});  // over the time axis' labels
    EXPECT_FALSE(Cursor->Shown());
    MoveTo({Column, PlotMiddle()});
    ASSERT_TRUE(Cursor->Shown());
    QTest::mouseMove(Form->windowHandle(), Ctl<QPushButton>(*Form, "btnSTOP")->geometry().center());  // left the chart
    EXPECT_FALSE(Cursor->Shown());

    MoveTo({Column, PlotMiddle()});
    ASSERT_TRUE(Cursor->Shown());
    ChooseMode(2);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(Form->Measurement().Running());
    ASSERT_TRUE(WaitFor([this] { return !Cursor->Shown(); }));
    // While measuring its layer shares the buffer below: no extra cost per redraw.
    ASSERT_TRUE(WaitFor([this] { return Chart->layer(TChartCursor::LayerName)->mode() == QCPLayer::lmLogical; }));
    MoveTo({Column + 5, PlotMiddle()});
    EXPECT_FALSE(Cursor->Shown());
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    MoveTo({Column + 6, PlotMiddle()});
    EXPECT_FALSE(Cursor->Shown());  // the start emptied the chart: nothing to read
    Form->ChartFeed()->Assign(0, {QCPGraphData(0, 1), QCPGraphData(2 * Time, 3)});
    Chart->replot();
    MoveTo({Column + 7, PlotMiddle()});
    EXPECT_TRUE(Cursor->Shown());
    // The chart's menu takes the mouse without a leave.
    TChartMenuDriver driver(*Form);
    QMenu* menu = driver.Open();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(Cursor->Shown());
    menu->close();
}

TEST_F(TChartCursorView, NeverPartOfAnExportedPicture) {
    const QImage clean = chartimage::Render(*Chart, 1);
    MoveTo({Column, PlotMiddle()});
    ASSERT_TRUE(Cursor->Shown());
    EXPECT_NE(Chart->grab().toImage().convertToFormat(QImage::Format_RGB32),
              clean.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(chartimage::Render(*Chart, 1), clean);
    EXPECT_TRUE(Cursor->Shown());
}
