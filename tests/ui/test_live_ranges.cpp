// Automatic ranges that move in steps: they end on grains, keep every point
// in view with room to spare, and stay put between steps, so most ticks of a
// measurement leave the axes, labels and grid as they were.
#include <algorithm>
#include <cmath>
#include <optional>

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include "chart/ChartFeed.h"
#include "chart/LiveRanges.h"
#include "chart/SeriesGraph.h"

namespace {

TEST(TLiveRanges, TheGrainIsOneTwoOrFiveTimesAPowerOfTenNearATwentiethOfTheSpan) {
    const struct {
        double span, grain;
    } rows[] = {{1, 0.05}, {20, 1}, {21, 2}, {40, 2}, {41, 5}, {95, 5}, {100, 5}, {101, 10},
                {499'995, 50'000}, {0.3, 0.02}, {1e-6, 5e-8}};
    for (const auto& row : rows)
        EXPECT_DOUBLE_EQ(liveranges::Grain(row.span), row.grain) << "span " << row.span;
}

TEST(TLiveRanges, KeysEndOnGrainsAndAreKeptWhileTheyHoldThePoints) {
    const std::optional<QCPRange> none;
    const struct {
        std::optional<QCPRange> kept;
        double first, last;
        bool growing;
        QCPRange range;
    } rows[] = {
        {none, 0, 0, false, {-1, 1}},                  // one point: 1 either side
        {none, 0, 95, false, {0, 100}},                // grain 5
        {none, 0, 100, false, {0, 105}},               // the last key never on the upper end
        {none, 777, 1'777, false, {750, 1'800}},       // grain 50
        {QCPRange(0, 100), 0, 99, false, {0, 100}},    // kept
        {QCPRange(0, 100), 0, 100, false, {0, 105}},   // reached the end: renewed
        {QCPRange(0, 100), 5, 99, false, {0, 100}},    // the oldest left: kept while not too wide
        {QCPRange(0, 100), 30, 99, false, {30, 100}},  // 70 wide would do: renewed
        {QCPRange(10, 100), 5, 99, false, {5, 100}},   // a point left of it: renewed
        // Growing: a quarter of the span to spare ahead.
        {QCPRange(0, 100), 7, 7, true, {6, 8}},
        {none, 0, 95, true, {0, 120}},                    // 95 + 23.75, up to a grain of 5
        {none, 0, 1'000, true, {0, 1'300}},               // 1,250 up to a grain of 50
        {QCPRange(0, 1'300), 0, 1'299, true, {0, 1'300}},  // kept
        {QCPRange(0, 1'300), 0, 1'300, true, {0, 1'700}},  // 1,625 up to a grain of 100
    };
    for (const auto& row : rows)
        EXPECT_EQ(liveranges::Keys(row.kept, row.first, row.last, row.growing), row.range)
            << row.first << ".." << row.last << (row.growing ? " growing" : "");
}

TEST(TLiveRanges, ValuesKeepAMarginEndOnGrainsAndAreKeptWhileTheyHoldIt) {
    const std::optional<QCPRange> none;
    const struct {
        std::optional<QCPRange> kept;
        double min, max;
        QCPRange range;
    } rows[] = {
        {none, -100, 102, {-120, 120}},              // 5 % spare: -110.1..112.1, grain 20
        {none, 0, 10, {-1, 11}},                     // -0.5..10.5, grain 1
        {none, 7, 7, {6, 8}},                        // flat: 1 to spare either side
        {none, -300, -300, {-316, -284}},            // flat: 5 % of the value, grain 2
        {QCPRange(-120, 120), -70, 70, {-120, 120}},  // kept while at most 1.5 x as wide
        {QCPRange(-120, 120), -30, 30, {-35, 35}},    // too wide: renewed
        {QCPRange(-120, 120), -100, 115, {-120, 140}},  // the margin no longer fits: renewed
    };
    for (const auto& row : rows)
        EXPECT_EQ(liveranges::Values(row.kept, row.min, row.max), row.range)
            << row.min << ".." << row.max;
}

// A measurement's history as the feed keeps it: it fills up to the depth and
// then slides, one sample every 5 ms, the values a noisy step response.
class TLiveFeed : public ::testing::Test {
protected:
    void SetUp() override {
        Chart.resize(700, 400);
        for (size_t i = 0; i < Graphs.size(); ++i)
            Graphs[i] = new TSeriesGraph(Chart.xAxis, i == 1 ? Chart.yAxis2 : Chart.yAxis);
        Feed = new TChartFeed(&Chart, Graphs);
    }
    static double Value(int t) { return (t < 3'000 ? 0 : 100) + 3 * std::sin(t * 1.7); }
    // Returns how many ticks changed any range.
    int Run(int ticks, int depth) {
        int steps = 0;
        for (int end = Tick + ticks; Tick < end; ++Tick) {
            const int t = Tick;
            Feed->Add(0, t * 5.0, Value(t));
            if (Feed->Count(0) > depth) Feed->RemoveFirst(0);
            const QCPRange keys = Chart.xAxis->range(), values = Chart.yAxis->range();
            Feed->ApplyAutoRanges();
            if (Feed->Count(0) > 1 && (keys != Chart.xAxis->range() || values != Chart.yAxis->range())) ++steps;
            ExpectInView();
            if (HasFailure()) return steps;
        }
        return steps;
    }
    // Every point in view, the newest short of the end, the empty room at
    // either end at most a fifth of the width (more ahead of a growing
    // history), values with 5 % to spare
    // (1 for a flat line) and not more than 1.875 times that wide: a fresh
    // range adds at most two grains of an eighth, a kept one is at most 1.5
    // times a fresh one.
    void ExpectInView() {
        const TChartHistory& history = Feed->History(0);
        const double first = history.Key(0), last = history.Key(history.Count() - 1);
        const QCPRange keys = Chart.xAxis->range();
        ASSERT_LE(keys.lower, first);
        ASSERT_LT(last, keys.upper);
        // Growing, a quarter of the span and a grain of an eighth at most
        // are free ahead: 0.375 / 1.375 of the width.
        const double free = first == 0 ? 0.28 : 0.2;
        if (last - first >= 1'000) {
            ASSERT_LE(keys.size() - (last - first), keys.size() * free) << last;
        }
        const TValueRange extremes = *history.Extremes();
        const double span = extremes.max - extremes.min;
        const double margin = span > 0 ? 0.05 * span : std::max(0.05 * std::fabs(extremes.max), 1.0);
        const QCPRange values = Chart.yAxis->range();
        ASSERT_LE(values.lower, extremes.min - margin);
        ASSERT_GE(values.upper, extremes.max + margin);
        ASSERT_LE(values.size(), 1.875 * (span + 2 * margin) * (1 + 1e-12)) << Tick;
    }

    QCustomPlot Chart;
    std::array<TSeriesGraph*, TChartFeed::SeriesCount> Graphs{};
    TChartFeed* Feed = nullptr;
    int Tick = 0;
};

TEST_F(TLiveFeed, WhileTheHistoryFillsTheRangesStepNowAndThen) {
    // A step each time the history has grown by a quarter, some
    // ln(10,000) / ln(1.25) = 41 steps in 10,000 samples, against a step at
    // every sample with exact ranges.
    EXPECT_LT(Run(10'000, 10'000), 50);
}

TEST_F(TLiveFeed, WhileTheHistorySlidesTheRangesStepOnceAGrain) {
    Run(10'000, 10'000);
    // 50 s of history: grains of 5 s, one step in 1,000 samples.
    const int steps = Run(20'000, 10'000);
    EXPECT_GE(steps, 19);
    EXPECT_LE(steps, 21);
}

// A new start and loaded points begin the steps afresh.
TEST_F(TLiveFeed, ClearingForgetsTheKeptRanges) {
    Run(2'000, 10'000);
    EXPECT_GT(Chart.xAxis->range().upper, 10'000);
    Feed->Clear();
    Feed->Add(0, 0, 1);
    Feed->Add(0, 40, 2);
    Feed->ApplyAutoRanges();
    EXPECT_EQ(Chart.xAxis->range(), QCPRange(0, 52));  // 40 and a quarter, on grains of 2
    EXPECT_EQ(Chart.yAxis->range(), QCPRange(0.9, 2.1));
}

}  // namespace
