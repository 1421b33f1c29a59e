// What the chart draws for a series: a million samples with known extremes
// (square wave, a dense sine band, a flat stretch with two single-sample
// spikes) are drawn as one solid span per pixel column that reaches exactly
// the lowest and highest value the line takes in that column, with no column
// left empty, following zoom, pan and the chart's width; a sparse series is
// drawn exactly as a plain graph draws it.
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include "chart/ChartFeed.h"
#include "chart/SeriesGraph.h"
#include "record/ColumnEnvelope.h"

namespace {

constexpr int Samples = 1'000'000;
constexpr double MsPerSample = 5.0;
constexpr double SpikeHigh = 100, SpikeLow = -60;
constexpr int SpikeHighAt = 900'000, SpikeLowAt = 950'000;

// Square wave of +-10 (40,000 samples a period), then a band of +-20 that
// swings every few samples, then 0 with one high and one low spike.
double Signal(int i) {
    if (i < 400'000) return (i / 20'000) % 2 == 0 ? 10.0 : -10.0;
    if (i < 800'000) return 20.0 * std::sin(i * 0.9);
    if (i == SpikeHighAt) return SpikeHigh;
    if (i == SpikeLowAt) return SpikeLow;
    return 0.0;
}

using TColumnRanges = std::vector<std::optional<TValueRange>>;

void Include(std::optional<TValueRange>& range, double v) {
    if (!range) range = TValueRange{v, v};
    range->min = std::min(range->min, v);
    range->max = std::max(range->max, v);
}

// The envelope by walking every sample and every segment once: a sample
// counts in its column, a segment crossing a column edge counts its value
// there in both columns beside that edge.
TColumnRanges WalkedEnvelope(const envelope::TColumns& columns) {
    TColumnRanges out(size_t(columns.count));
    const auto key = [](int i) { return i * MsPerSample; };
    const auto value = [](int i) { return double(float(Signal(i))); };  // as the history keeps it
    int c = 0;
    for (int i = 0; i < Samples; ++i) {
        for (; c <= columns.count && columns.Edge(c) <= key(i); ++c) {
            if (i == 0) continue;
            const double t = (columns.Edge(c) - key(i - 1)) / (key(i) - key(i - 1));
            const double v = value(i - 1) + (value(i) - value(i - 1)) * t;
            if (c > 0 && c - 1 < columns.count) Include(out[size_t(c - 1)], v);
            if (c < columns.count) Include(out[size_t(c)], v);
        }
        if (c >= 1 && c - 1 < columns.count) Include(out[size_t(c - 1)], value(i));
    }
    return out;
}

class TDenseChart : public ::testing::Test {
protected:
    void SetUp() override {
        Chart.setPlottingHint(QCP::phFastPolylines, true);
        for (size_t i = 0; i < Graphs.size(); ++i) {
            Graphs[i] = new TSeriesGraph(Chart.xAxis, i == 1 ? Chart.yAxis2 : Chart.yAxis);
            Graphs[i]->setPen(QPen(Qt::red, 2));
        }
        // Nothing over the plot but the series: no ticks, no axis lines.
        for (QCPAxis* axis : {Chart.xAxis, Chart.yAxis, Chart.yAxis2}) {
            axis->setTicks(false);
            axis->setBasePen(Qt::NoPen);
        }
        Feed = new TChartFeed(&Chart, Graphs);
        for (int i = 0; i < Samples; ++i) Feed->Add(0, i * MsPerSample, Signal(i));
        WholeHistory();
        Chart.toPixmap(700, 260);  // lays the axis rect out at that size
    }
    // Every sample in view and every column over samples: the automatic
    // value ranges, the key axis from the first key to the last.
    void WholeHistory() {
        Feed->ApplyAutoRanges();
        Chart.xAxis->setRange(0, (Samples - 1) * MsPerSample);
    }
    envelope::TColumns Columns() const {
        const QCPRange keys = Chart.xAxis->range();
        return {keys.lower, keys.upper, Chart.axisRect()->width()};
    }
    TColumnRanges Drawn() const { return envelope::Envelope(Feed->History(0), Columns()); }
    // Column index of a sample's key under the current range.
    int ColumnOf(int sample) const {
        const envelope::TColumns c = Columns();
        return int(std::floor((sample * MsPerSample - c.lower) / (c.upper - c.lower) * c.count));
    }

    QCustomPlot Chart;
    std::array<TSeriesGraph*, TChartFeed::SeriesCount> Graphs{};
    TChartFeed* Feed = nullptr;
};

TEST_F(TDenseChart, EachColumnSpansTheTrueExtremesOfItsSamples) {
    ASSERT_TRUE(Graphs[0]->Visible().dense);
    const TColumnRanges drawn = Drawn();
    const TColumnRanges walked = WalkedEnvelope(Columns());
    ASSERT_EQ(drawn.size(), walked.size());
    for (size_t c = 0; c < drawn.size(); ++c) {
        ASSERT_TRUE(drawn[c]) << "column " << c << " is empty";
        ASSERT_TRUE(walked[c]) << c;
        EXPECT_NEAR(drawn[c]->min, walked[c]->min, 1e-6) << c;
        EXPECT_NEAR(drawn[c]->max, walked[c]->max, 1e-6) << c;
    }
    // What the signal is known to hold, column by column.
    const int squareEnd = ColumnOf(400'000), bandEnd = ColumnOf(800'000);
    int flat = 0;
    for (int c = 0; c < squareEnd - 1; ++c) {
        const TValueRange& r = *drawn[size_t(c)];
        flat += r.min == r.max ? 1 : 0;
        // Each column reaches one level or both; a jump at its edge joins it
        // part of the way to the other.
        EXPECT_TRUE(r.min == -10.0 || r.max == 10.0) << c;
        EXPECT_GE(r.min, -10.0) << c;
        EXPECT_LE(r.max, 10.0) << c;
    }
    EXPECT_GT(flat, squareEnd / 2);  // most columns lie within one half-wave
    for (int c = squareEnd + 1; c < bandEnd - 1; ++c) {
        EXPECT_LT(drawn[size_t(c)]->min, -19.9) << c;
        EXPECT_GT(drawn[size_t(c)]->max, 19.9) << c;
    }
    EXPECT_EQ(drawn[size_t(ColumnOf(SpikeHighAt))]->max, SpikeHigh);
    EXPECT_EQ(drawn[size_t(ColumnOf(SpikeLowAt))]->min, SpikeLow);
    EXPECT_EQ(drawn[size_t(ColumnOf(SpikeHighAt)) + 3]->max, 0.0);
}

// A repaint of part of the plot works out only the columns it covers, each
// as the whole envelope has it.
TEST_F(TDenseChart, ColumnsWorkedOutAloneMatchTheWholeEnvelope) {
    const TColumnRanges whole = Drawn();
    const int count = int(whole.size());
    // Every column once as the first of a part, so parts also begin where a
    // jump crosses the column's left edge; and parts beyond either end.
    std::vector<std::pair<int, int>> parts = {{0, count}, {count - 1, count + 9}, {-4, 3}};
    for (int begin = 0; begin < count; ++begin) parts.emplace_back(begin, begin + 2);
    for (const auto& [begin, end] : parts) {
        const TColumnRanges part = envelope::Envelope(Feed->History(0), Columns(), begin, end);
        ASSERT_EQ(part.size(), whole.size());
        for (int c = 0; c < count; ++c) {
            const bool inside = c >= begin && c < end;
            ASSERT_EQ(part[size_t(c)].has_value(), inside && whole[size_t(c)].has_value()) << begin << " " << c;
            if (!inside || !whole[size_t(c)]) continue;
            EXPECT_EQ(part[size_t(c)]->min, whole[size_t(c)]->min) << c;
            EXPECT_EQ(part[size_t(c)]->max, whole[size_t(c)]->max) << c;
        }
    }
}

// The picture itself: in every pixel column of the plot the series' colour
// runs without a break from the highest to the lowest value's row (the pen's
// half width beyond each, within a pixel), at any zoom, pan and width.
TEST_F(TDenseChart, ThePictureShowsEachColumnsSpanSolid) {
    struct TView {
        const char* name;
        int width;
        double lower, upper;  // key range; 0, 0 for the automatic one
    };
    const TView views[] = {
        {"whole history", 700, 0, 0},
        {"zoomed onto the band and the spikes", 700, 1'500'000, 4'900'000},
        {"panned past the end", 700, 3'000'000, 6'000'000},
        {"narrow chart", 420, 0, 0},
    };
    for (const TView& view : views) {
        SCOPED_TRACE(view.name);
        WholeHistory();
        if (view.upper > 0) Chart.xAxis->setRange(view.lower, view.upper);
        const QImage picture = Chart.toPixmap(view.width, 260).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_TRUE(Graphs[0]->Visible().dense);
        const TColumnRanges walked = WalkedEnvelope(Columns());
        const QRect plot = Chart.axisRect()->rect();
        ASSERT_EQ(int(walked.size()), plot.width());
        int empty = 0;
        for (int c = 0; c < plot.width(); ++c) {
            const int x = plot.left() + c;
            std::vector<int> rows;
            for (int y = plot.top(); y <= plot.bottom(); ++y)
                if (picture.pixel(x, y) == qRgb(255, 0, 0)) rows.push_back(y);
            if (!walked[size_t(c)]) {
                EXPECT_TRUE(rows.empty()) << "column " << c << " drawn beyond the samples";
                continue;
            }
            if (rows.empty()) {
                ++empty;
                continue;
            }
            const double top = Chart.yAxis->coordToPixel(walked[size_t(c)]->max) - 1;
            const double bottom = Chart.yAxis->coordToPixel(walked[size_t(c)]->min) + 1;
            // Row r covers [r, r + 1).
            EXPECT_NEAR(rows.front(), std::max(top, double(plot.top())), 1.0) << "column " << c;
            EXPECT_NEAR(rows.back() + 1, std::min(bottom, double(plot.bottom() + 1)), 1.0) << "column " << c;
            EXPECT_EQ(int(rows.size()), rows.back() - rows.front() + 1) << "column " << c << " has a gap";
        }
        EXPECT_EQ(empty, 0);
    }
}

// Few enough samples in view: the same picture a plain graph of those
// samples gives, antialiased polyline and all, here zoomed in on 500 samples.
TEST_F(TDenseChart, ASparseViewIsDrawnAsAPlainGraph) {
    Chart.xAxis->setRange(2'400'000, 2'402'500);
    ASSERT_FALSE(Graphs[0]->Visible().dense);
    QCustomPlot plain;
    plain.setPlottingHint(QCP::phFastPolylines, true);
    for (QCPAxis* axis : {plain.xAxis, plain.yAxis, plain.yAxis2}) {
        axis->setTicks(false);
        axis->setBasePen(Qt::NoPen);
    }
    QCPGraph* graph = plain.addGraph();
    graph->setPen(Graphs[0]->pen());
    for (int i = 0; i < Samples; ++i) {
        const double key = i * MsPerSample;
        if (key >= 2'390'000 && key <= 2'410'000) graph->addData(key, double(float(Signal(i))));
    }
    plain.xAxis->setRange(Chart.xAxis->range());
    plain.yAxis->setRange(Chart.yAxis->range());
    plain.yAxis2->setRange(Chart.yAxis2->range());
    const QImage ours = Chart.toPixmap(700, 260).toImage();
    const QImage theirs = plain.toPixmap(700, 260).toImage();
    EXPECT_EQ(ours, theirs);
    int red = 0;  // and the line is there at all
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x) red += qRed(ours.pixel(x, y)) > 200 && qGreen(ours.pixel(x, y)) < 80;
    EXPECT_GT(red, 500);
}

}  // namespace
