// The chart's feed: histories keep their length and every point whatever
// their depth, the axes follow the points held, each series draws what is in
// view (densely or point by point), and redraws are paced while a
// measurement runs.
#include <algorithm>
#include <cmath>
#include <vector>

#include <QElapsedTimer>
#include <QImage>
#include <QPaintEvent>
#include <QRegion>
#include <QTest>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include "chart/ChartFeed.h"
#include "chart/ChartReplot.h"
#include "chart/SeriesGraph.h"
#include "record/ChartHistory.h"
#include "tests/support/Wait.h"

using testsupport::WaitFor;

namespace {

// Collects the regions of the paint events a widget gets.
class TPaintLog : public QObject {
public:
    explicit TPaintLog(QRegion& painted) : FPainted(painted) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) FPainted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }

private:
    QRegion& FPainted;
};

class TChartFeedView : public ::testing::Test {
protected:
    void SetUp() override {
        Chart.resize(700, 260);
        for (size_t i = 0; i < Graphs.size(); ++i)
            Graphs[i] = new TSeriesGraph(Chart.xAxis, i == 1 ? Chart.yAxis2 : Chart.yAxis);
        // Each redraw is stamped as it reports itself, just after the pacing
        // clock restarts: a slow machine can only widen the gaps seen here.
        Clock.start();
        Feed = new TChartFeed(&Chart, Graphs);
        QObject::connect(Feed->Replot(), &TChartReplot::Drawn, [this] { Replots.push_back(Clock.elapsed()); });
    }
    // A sliding window as the measurement keeps it.
    void Tick(double x, double y, int depth) {
        for (int i = 0; i < TChartFeed::SeriesCount; ++i) Feed->Add(i, x, y + i);
        if (Feed->Count(0) > depth)
            for (int i = 0; i < TChartFeed::SeriesCount; ++i) Feed->RemoveFirst(i);
    }
    void Draw() {
        Chart.replot();
    }
    // Asks for a redraw and waits until it has been drawn.
    bool Redraw() {
        const size_t before = Replots.size();
        Feed->RequestReplot();
        return WaitFor([&] { return Replots.size() > before; });
    }
    // 400 more points redrawn: no full redraw beyond `fullRedraws` (counted in
    // `full`), and the series layer alone drew what a full redraw draws.
    void ExpectNewPointsDrawnAlone(const int& full, int fullRedraws) {
        for (int t = 400; t < 800; ++t) Tick(t, std::sin(t * 0.05), 1000);
        ASSERT_TRUE(Redraw());
        EXPECT_EQ(full, fullRedraws) << "the axes were drawn again for new points alone";
        const QImage layered = Chart.grab().toImage();
        Chart.replot();
        EXPECT_EQ(layered, Chart.grab().toImage()) << "the series layer alone drew a different picture";
    }
    // On screen: a grab then shows the chart's buffers as they are (a hidden
    // chart redraws itself whole to be grabbed).
    void Show() {
        Chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Chart));
        ASSERT_TRUE(WaitFor([this] { return !Replots.empty(); }));
    }

    QCustomPlot Chart;
    std::array<TSeriesGraph*, TChartFeed::SeriesCount> Graphs{};
    TChartFeed* Feed = nullptr;
    QElapsedTimer Clock;
    std::vector<qint64> Replots;
    QRegion Painted;
};

TEST_F(TChartFeedView, LongHistoryKeepsItsCountAndTheAxesFollowIt) {
    const int depth = 100'000;
    for (int t = 0; t < depth + 777; ++t) Tick(t * 5.0, std::sin(t * 0.01) * 100, depth);
    Feed->ApplyAutoRanges();
    Draw();
    for (int i = 0; i < TChartFeed::SeriesCount; ++i) {
        EXPECT_EQ(Feed->Count(i), depth);
        EXPECT_EQ(Feed->History(i).Key(0), 777 * 5.0);
        EXPECT_EQ(Feed->History(i).Key(depth - 1), (depth + 776) * 5.0);
        EXPECT_TRUE(Graphs[size_t(i)]->Visible().dense);
        EXPECT_EQ(Graphs[size_t(i)]->dataCount(), 0);  // the graph draws the history itself
    }
    // The axes hold every point, ending on grains of a twentieth of the span
    // or a little more: keys 3885..503880 on grains of 50,000; values with 5 %
    // to spare, series 1 and 3 (+0 and +2) on the left, series 2 (+1) on the
    // right, on grains of 20.
    EXPECT_EQ(Chart.xAxis->range(), QCPRange(0, 550'000));
    EXPECT_EQ(Chart.yAxis->range(), QCPRange(-120, 120));
    EXPECT_EQ(Chart.yAxis2->range(), QCPRange(-120, 120));
}

// Points given in one go become the history, as when the chart is filled at once.
TEST_F(TChartFeedView, AssignedPointsBecomeTheHistory) {
    QVector<QCPGraphData> points;
    for (int t = 0; t < 10'000; ++t) points.append(QCPGraphData(t, t % 100));
    Feed->Assign(0, points);
    EXPECT_EQ(Feed->Count(0), 10'000);
    Feed->Add(0, 10'000, -5);
    Feed->RemoveFirst(0);
    EXPECT_EQ(Feed->Count(0), 10'000);
    EXPECT_EQ(Feed->History(0).Key(0), 1.0);
    Feed->ApplyAutoRanges();
    EXPECT_LT(Chart.yAxis->range().lower, -5.0);
    Feed->Assign(0, points.mid(0, 3));
    EXPECT_EQ(Feed->Count(0), 3);
    EXPECT_EQ(Feed->History(0).Value(2), 2.0);
    Feed->Clear();
    EXPECT_EQ(Feed->Count(0), 0);
}

// What a series draws follows the key axis: zoomed in, the samples in view
// and one beyond each edge, point by point; zoomed out, spans per column.
TEST_F(TChartFeedView, ZoomingFollowsTheVisibleSamples) {
    const int depth = 50'000;
    for (int t = 0; t < depth; ++t) Tick(t, (t * 7919) % 1000, depth);
    Feed->ApplyAutoRanges();
    Feed->SetInteractive(true);
    Draw();
    EXPECT_TRUE(Graphs[0]->Visible().dense);

    Chart.xAxis->setRange(20'000.5, 20'100.5);  // samples 20001..20100
    const TSeriesGraph::TVisible zoomed = Graphs[0]->Visible();
    EXPECT_FALSE(zoomed.dense);
    EXPECT_EQ(zoomed.first, 20'000);
    EXPECT_EQ(zoomed.last, 20'102);

    Chart.xAxis->setRange(10'000, 40'000);  // more samples than pixel columns
    EXPECT_TRUE(Graphs[0]->Visible().dense);
    Chart.xAxis->setRange(60'000, 70'000);  // panned past the end
    EXPECT_EQ(Graphs[0]->Visible().first, Graphs[0]->Visible().last - 1);

    // Undo zoom: the whole history again.
    Feed->ApplyAutoRanges();
    EXPECT_EQ(Graphs[0]->Visible().first, 0);
    EXPECT_EQ(Graphs[0]->Visible().last, depth);
}

// While nothing but the series changed, a redraw repaints their layer
// alone, and the picture is the one a full redraw gives; a new range or label
// redraws everything.
TEST_F(TChartFeedView, ARedrawWithTheFrameHeldRepaintsTheSeriesAlone) {
    ASSERT_NO_FATAL_FAILURE(Show());
    int full = 0;
    QObject::connect(&Chart, &QCustomPlot::afterReplot, [&full] { ++full; });
    Chart.xAxis->setRange(0, 1000);
    Chart.yAxis->setRange(-3, 3);
    Chart.yAxis2->setRange(-3, 3);
    for (int t = 0; t < 400; ++t) Tick(t, std::sin(t * 0.05), 1000);
    ASSERT_TRUE(Redraw());
    EXPECT_EQ(full, 1);
    ASSERT_NO_FATAL_FAILURE(ExpectNewPointsDrawnAlone(full, 1));

    const int before = full;
    Chart.yAxis2->setRange(-4, 4);
    ASSERT_TRUE(Redraw());
    EXPECT_EQ(full, before + 1);
    Chart.xAxis->setLabel("t");
    ASSERT_TRUE(Redraw());
    EXPECT_EQ(full, before + 2);
}

// Repainting only the parts of the plot whose series changed leaves the
// picture a whole redraw gives: new points at the end, and old ones leaving
// the front, drawn as lines and as spans per column, on pens as the window's.
TEST_F(TChartFeedView, RepaintingTheChangedPartsDrawsWhatAWholeRedrawDraws) {
    ASSERT_NO_FATAL_FAILURE(Show());
    TPaintLog log(Painted);
    Chart.installEventFilter(&log);
    Chart.setPlottingHint(QCP::phFastPolylines, true);
    const QColor colours[] = {Qt::red, Qt::darkGreen, Qt::blue};
    for (size_t i = 0; i < Graphs.size(); ++i) Graphs[i]->setPen(QPen(colours[i], 2));
    Chart.yAxis->setRange(-3, 5);
    Chart.yAxis2->setRange(-3, 5);
    const struct {
        const char* name;
        int depth, initial, perFrame;
        double step, keysShown;
    } views[] = {
        {"lines, filling", 100'000, 100, 3, 5, 1'000},
        {"lines, sliding", 100, 150, 3, 5, 1'000},
        {"spans, sliding", 3'000, 3'500, 40, 1, 6'000},
    };
    for (const auto& view : views) {
        SCOPED_TRACE(view.name);
        const auto value = [](int t) { return 2 * std::sin(t * 0.07) + std::sin(t * 1.3); };
        Feed->Clear();
        Chart.xAxis->setRange(0, view.keysShown);
        int t = 0;
        for (; t < view.initial; ++t) Tick(t * view.step, value(t), view.depth);
        ASSERT_TRUE(Redraw());
        for (int frame = 0; frame < 12; ++frame) {
            for (int end = t + view.perFrame; t < end; ++t) Tick(t * view.step, value(t), view.depth);
            if (frame == 6) Tick(t++ * view.step, 4.5, view.depth);  // a spike
            Painted = QRegion();
            ASSERT_TRUE(Redraw());
            ASSERT_TRUE(WaitFor([this] { return !Painted.isEmpty(); })) << "frame " << frame;
            // The window repainted a strip over the newest point, not the whole plot.
            const TChartHistory& history = Feed->History(0);
            const int newest = int(Chart.xAxis->coordToPixel(history.Key(history.Count() - 1)));
            EXPECT_TRUE(Painted.contains(QPoint(newest, Chart.axisRect()->center().y()))) << "frame " << frame;
            int width = 0;
            for (const QRect& strip : Painted) width += strip.width();
            EXPECT_LT(width, Chart.axisRect()->width() / 4) << "frame " << frame;
            const QImage parts = Chart.grab().toImage();
            Chart.replot();
            ASSERT_EQ(parts, Chart.grab().toImage()) << "frame " << frame;
        }
        EXPECT_EQ(Graphs[0]->Visible().dense, view.step == 1);
    }
    // A series that changed its look, or whose oldest point left at a key the
    // next one shares, is drawn anew where it was, not only at its ends.
    const auto same = [this] {
        const QImage parts = Chart.grab().toImage();
        Chart.replot();
        return parts == Chart.grab().toImage();
    };
    Graphs[1]->setVisible(false);
    Tick(1e6, 0, 100'000);
    ASSERT_TRUE(Redraw());
    EXPECT_TRUE(same()) << "a hidden series stayed on the chart";
    Graphs[0]->setPen(QPen(Qt::magenta, 2));
    Tick(1e6 + 5, 0, 100'000);
    ASSERT_TRUE(Redraw());
    EXPECT_TRUE(same()) << "a series kept its old colour";
    Feed->Clear();
    for (int t = 0; t < 40; ++t) Feed->Add(0, (t / 2) * 20.0, t % 2 ? 4.0 : -2.0);
    ASSERT_TRUE(Redraw());
    Feed->RemoveFirst(0);  // the next point has the same key: a vertical stroke leaves
    ASSERT_TRUE(Redraw());
    EXPECT_TRUE(same()) << "a stroke that left at a shared key stayed on the chart";
}

// A frame that moves with every redraw (the time axis of a running
// measurement) gains nothing from the series' own buffer: after two such
// redraws the series share the chart's buffer, and once the frame holds again
// they get their own back and are repainted alone, drawing the same picture.
TEST_F(TChartFeedView, TheSeriesKeepTheirOwnBufferOnlyWhileTheFrameHolds) {
    ASSERT_NO_FATAL_FAILURE(Show());
    int full = 0;
    QObject::connect(&Chart, &QCustomPlot::afterReplot, [&full] { ++full; });
    QCPLayer* series = Chart.layer(TChartReplot::SeriesLayer);
    Chart.yAxis->setRange(-3, 3);
    Chart.yAxis2->setRange(-3, 3);
    for (int r = 0; r < 3; ++r) {
        Chart.xAxis->setRange(r * 10.0, r * 10.0 + 1000);
        ASSERT_TRUE(Redraw());
    }
    EXPECT_EQ(full, 3);
    EXPECT_EQ(series->mode(), QCPLayer::lmLogical) << "a moving frame kept a buffer of its own for the series";

    for (int t = 0; t < 400; ++t) Tick(t, std::sin(t * 0.05), 1000);
    ASSERT_TRUE(Redraw());
    EXPECT_EQ(full, 4) << "the buffer given back needs one full redraw";
    EXPECT_EQ(series->mode(), QCPLayer::lmBuffered);
    ASSERT_NO_FATAL_FAILURE(ExpectNewPointsDrawnAlone(full, 4));
}

// While running, redraws come at most once per pacing gap, and the last
// state asked for is always drawn.
TEST_F(TChartFeedView, RedrawsArePacedWhileRunningAndTheLastIsDrawn) {
    Feed->SetInteractive(false);
    // A request on every pass of the event loop, far more often than the gap,
    // until a few redraws have come.
    int t = 0;
    ASSERT_TRUE(WaitFor([&] {
        Tick(t, t, 1000);
        ++t;
        Feed->RequestReplot();
        return Replots.size() >= 6;
    }));
    const size_t atLastRequest = Replots.size();
    ASSERT_TRUE(WaitFor([&] { return Replots.size() > atLastRequest; })) << "the last request was not drawn";
    for (size_t i = 1; i < Replots.size(); ++i)
        EXPECT_GE(Replots[i] - Replots[i - 1], TChartReplot::MinGapMs - 2) << i;

    // Stopped: no pacing, one queued redraw right away.
    Feed->SetInteractive(true);
    const size_t before = Replots.size();
    Draw();  // just drawn: a paced request would now wait
    Feed->RequestReplot();
    Feed->RequestReplot();
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(Replots.size(), before + 2);
}

}  // namespace
