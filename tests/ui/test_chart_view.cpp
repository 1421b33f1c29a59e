// The chart's history and the points it draws: long histories are drawn as a
// bounded number of points whose envelope is exact, kept up to date tick by
// tick; zooming in while stopped draws the real samples; redraws are paced
// while a measurement runs.
#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include "ChartFeed.h"
#include "ChartHistory.h"
#include "ChartReplot.h"
#include "Wait.h"

using testsupport::WaitFor;

namespace {

// The drawn points of a history with bucket size s whose oldest point has
// running number front, built from scratch: per bucket the first, lowest
// (first of equals), highest and last point.
std::vector<QCPGraphData> ExpectedView(const TChartHistory& h, int64_t front) {
    const int64_t s = h.BucketSize();
    std::vector<QCPGraphData> out;
    for (int64_t start = front; start < front + h.Count();) {
        const int64_t end = std::min(front + h.Count(), (start / s + 1) * s);
        const auto at = [&](int64_t i) { return h.At(int(i - front)); };
        int64_t lo = start, hi = start;
        for (int64_t i = start; i < end; ++i) {
            if (at(i).value < at(lo).value) lo = i;
            if (at(i).value > at(hi).value) hi = i;
        }
        std::set<int64_t> picks{start, lo, hi, end - 1};
        for (int64_t i : picks) out.push_back(at(i));
        start = end;
    }
    return out;
}

std::vector<QCPGraphData> ViewOf(const QCPGraphDataContainer& view) {
    return std::vector<QCPGraphData>(view.constBegin(), view.constEnd());
}

void ExpectSamePoints(const std::vector<QCPGraphData>& actual,
                      const std::vector<QCPGraphData>& expected, const char* when) {
    ASSERT_EQ(actual.size(), expected.size()) << when;
    for (size_t i = 0; i < actual.size(); ++i) {
        ASSERT_EQ(actual[i].key, expected[i].key) << when << " point " << i;
        ASSERT_EQ(actual[i].value, expected[i].value) << when << " point " << i;
    }
}

// Bound on the drawn points of a reduced history.
constexpr int ViewLimit = 4 * (TChartHistory::MaxBuckets + 1);

// A sliding window of the given depth over a random walk without ties,
// checked against the from-scratch view every `every` ticks.
void RunWindow(int depth, int ticks, int every, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> step(0.0, 1.0);
    TChartHistory h;
    double value = 0;
    int64_t front = 0;
    for (int t = 0; t < ticks; ++t) {
        value += step(random);
        h.Add(t * 5.0, value);
        if (h.Count() > depth) {
            h.RemoveFirst();
            ++front;
        }
        ASSERT_EQ(h.Count(), std::min(t + 1, depth));
        if (t % every != 0 && t != ticks - 1) continue;
        ASSERT_EQ(h.At(0).key, double(front) * 5.0);
        ExpectSamePoints(ViewOf(*h.View()), ExpectedView(h, front), "sliding");
        if (h.Count() <= TChartHistory::ExactLimit) {
            EXPECT_EQ(h.BucketSize(), 1);
        }
        EXPECT_LE(h.View()->size(), std::max(ViewLimit, TChartHistory::ExactLimit));
    }
}

TEST(TChartHistoryView, SlidingWindowsKeepCountAndExactBuckets) {
    struct TCase {
        int depth, ticks, every;
    };
    const TCase cases[] = {
        {100, 500, 7},                               // small: drawn point by point
        {TChartHistory::ExactLimit, 5000, 97},       // at the limit: never reduced
        {TChartHistory::ExactLimit + 1, 6000, 101},  // just above
        {50'000, 120'000, 4999},                     // far above, many buckets trimmed
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.depth);
        RunWindow(c.depth, c.ticks, c.every, uint32_t(c.depth));
    }
}

// Integer values as the controller gives them: many ties, still the true
// envelope, and every drawn point is a point of the history.
TEST(TChartHistoryView, EnvelopeWithTiesIsTheTrueOne) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-40, 40);
    TChartHistory h;
    const int depth = 30'000;
    for (int t = 0; t < 90'000; ++t) {
        h.Add(t, value(random));
        if (h.Count() > depth) h.RemoveFirst();
        if (t % 3001 != 0) continue;
        double lo = h.At(0).value, hi = lo;
        for (int i = 0; i < h.Count(); ++i) {
            lo = std::min(lo, h.At(i).value);
            hi = std::max(hi, h.At(i).value);
        }
        const auto view = ViewOf(*h.View());
        double viewLo = view.front().value, viewHi = viewLo;
        for (size_t i = 0; i < view.size(); ++i) {
            viewLo = std::min(viewLo, view[i].value);
            viewHi = std::max(viewHi, view[i].value);
            if (i > 0) {
                ASSERT_LT(view[i - 1].key, view[i].key);
            }
            const int at = h.LowerIndex(view[i].key);
            ASSERT_LT(at, h.Count());
            ASSERT_EQ(h.At(at).key, view[i].key);
            ASSERT_EQ(h.At(at).value, view[i].value);
        }
        EXPECT_EQ(viewLo, lo);
        EXPECT_EQ(viewHi, hi);
        EXPECT_EQ(view.front().key, h.At(0).key);
        EXPECT_EQ(view.back().key, h.At(h.Count() - 1).key);
        EXPECT_LE(int(view.size()), ViewLimit);
    }
}

// Trimming a long history down (no adds) regroups to smaller buckets and at
// last draws point by point again; growing again reduces again.
TEST(TChartHistoryView, ShrinkingAndGrowingRegroup) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-1, 1);
    TChartHistory h;
    for (int t = 0; t < 40'000; ++t) h.Add(t, value(random));
    EXPECT_GT(h.BucketSize(), 1);
    int64_t front = 0;
    while (h.Count() > 300) {
        h.RemoveFirst();
        ++front;
        if (front % 1777 == 0) ExpectSamePoints(ViewOf(*h.View()), ExpectedView(h, front), "shrinking");
    }
    EXPECT_EQ(h.BucketSize(), 1);
    ExpectSamePoints(ViewOf(*h.View()), ExpectedView(h, front), "shrunk");
    for (int t = 0; t < 5000; ++t) h.Add(40'000 + t, value(random));
    EXPECT_GT(h.BucketSize(), 1);
    ExpectSamePoints(ViewOf(*h.View()), ExpectedView(h, front), "grown");
    while (h.Count() > 0) h.RemoveFirst();
    EXPECT_TRUE(h.View()->isEmpty());
    h.Add(1, 2);
    ASSERT_EQ(h.View()->size(), 1);
    EXPECT_EQ(h.View()->constBegin()->value, 2.0);
}

// Equal keys are allowed: the drawn points still leave and arrive one by one.
TEST(TChartHistoryView, EqualKeysDoNotConfuseTheView) {
    TChartHistory h;
    for (int t = 0; t < 5000; ++t) h.Add(t / 3, std::sin(t * 1.3));
    int64_t front = 0;
    for (int t = 0; t < 2000; ++t, ++front) {
        h.RemoveFirst();
        if (t % 97 == 0) ExpectSamePoints(ViewOf(*h.View()), ExpectedView(h, front + 1), "trimming");
    }
    EXPECT_EQ(h.Count(), 3000);
    EXPECT_GT(h.BucketSize(), 1);
    ExpectSamePoints(ViewOf(*h.View()), ExpectedView(h, front), "trimmed");
}

class TChartFeedView : public ::testing::Test {
protected:
    void SetUp() override {
        Chart.resize(700, 260);
        for (size_t i = 0; i < Graphs.size(); ++i)
            Graphs[i] = Chart.addGraph(Chart.xAxis, i == 1 ? Chart.yAxis2 : Chart.yAxis);
        // Connected before the feed's own pacing clock, so a redraw is stamped
        // no later than the pacing clock starts its gap: a slow machine can
        // only widen the gaps seen here.
        QObject::connect(&Chart, &QCustomPlot::afterReplot, [this] { Replots.push_back(Clock.elapsed()); });
        Clock.start();
        Feed = new TChartFeed(&Chart, Graphs);
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

    QCustomPlot Chart;
    std::array<QCPGraph*, TChartFeed::SeriesCount> Graphs{};
    TChartFeed* Feed = nullptr;
    QElapsedTimer Clock;
    std::vector<qint64> Replots;
};

TEST_F(TChartFeedView, LongHistoryKeepsItsCountAndDrawsFewPoints) {
    const int depth = 100'000;
    for (int t = 0; t < depth + 777; ++t) Tick(t * 5.0, std::sin(t * 0.01) * 100, depth);
    Feed->ApplyAutoRanges();
    Draw();
    for (int i = 0; i < TChartFeed::SeriesCount; ++i) {
        EXPECT_EQ(Feed->Count(i), depth);
        EXPECT_EQ(Feed->History(i).At(0).key, 777 * 5.0);
        EXPECT_LE(Graphs[size_t(i)]->data()->size(), ViewLimit);
    }
    EXPECT_EQ(Chart.xAxis->range().lower, 777 * 5.0);
    EXPECT_EQ(Chart.xAxis->range().upper, (depth + 776) * 5.0);
    // The axes follow every point held, not only the drawn ones.
    EXPECT_LT(Chart.yAxis->range().lower, -100.0);
    EXPECT_GT(Chart.yAxis->range().upper, 102.0);
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
    EXPECT_EQ(Feed->History(0).At(0).key, 1.0);
    EXPECT_LE(Graphs[0]->data()->size(), ViewLimit);
    Feed->ApplyAutoRanges();
    EXPECT_LT(Chart.yAxis->range().lower, -5.0);
    Feed->Clear();
    EXPECT_EQ(Feed->Count(0), 0);
}

TEST_F(TChartFeedView, ZoomingInWhileStoppedDrawsTheRealSamples) {
    const int depth = 50'000;
    for (int t = 0; t < depth; ++t) Tick(t, (t * 7919) % 1000, depth);
    Feed->ApplyAutoRanges();
    Feed->SetInteractive(true);
    Draw();
    const int reduced = Graphs[0]->data()->size();
    EXPECT_LE(reduced, ViewLimit);

    Chart.xAxis->setRange(20'000.5, 20'100.5);  // samples 20001..20100
    Draw();
    const auto zoomed = ViewOf(*Graphs[0]->data());
    ASSERT_EQ(zoomed.size(), 102u);  // and one sample beyond each edge
    for (size_t i = 0; i < zoomed.size(); ++i) {
        const int t = 20'000 + int(i);
        EXPECT_EQ(zoomed[i].key, double(t));
        EXPECT_EQ(zoomed[i].value, double((t * 7919) % 1000));
    }
    EXPECT_EQ(Feed->Count(0), depth);

    // Wider than what fits point by point: reduced, over the visible part only.
    Chart.xAxis->setRange(10'000, 40'000);
    Draw();
    EXPECT_LE(Graphs[0]->data()->size(), ViewLimit);
    EXPECT_GE(Graphs[0]->data()->constBegin()->key, 9'999.0);
    EXPECT_LE((Graphs[0]->data()->constEnd() - 1)->key, 40'001.0);

    // Undo zoom: the whole history again.
    Feed->ApplyAutoRanges();
    Draw();
    EXPECT_EQ(Graphs[0]->data()->size(), reduced);
    EXPECT_EQ(Graphs[0]->data()->constBegin()->key, 0.0);

    // A new point while zoomed shows the history at once.
    Chart.xAxis->setRange(100, 200);
    Draw();
    Tick(depth, 1, depth);
    EXPECT_EQ((Graphs[0]->data()->constEnd() - 1)->key, double(depth));
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
