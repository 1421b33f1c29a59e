#include "cli/MeasureTable.h"

#include <array>

#include "cli/Options.h"
#include "record/ChartUnits.h"
#include "record/RecordFacts.h"
#include "record/SamplePlot.h"

namespace cli {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

// The units the window's axes give the columns at a start in this unit:
// Series1 and Series3 on the left axis, Series2 on the right one.
std::array<QString, 3> Units(int servoMode) {
    const auto titles = chartunits::AxisTitles(servoMode, sampleplot::vuKiloPulsesPerSec);
    const QString left = chartunits::AxisUnit(titles.left.value_or(QString()));
    return {left, chartunits::AxisUnit(titles.right.value_or(QString())), left};
}

std::vector<std::string> Comments(const TMeasureFacts& facts, int depth) {
    std::vector<std::string> lines =
        recordfacts::Lines({ModeName(facts.servoMode), U("кИмп/сек"), facts.periodMs, depth, facts.controller});
    lines.push_back(recordfacts::ExportLine(facts.at));
    return lines;
}

}  // namespace

chartcsv::TTable MeasureTable(const TMeasureFacts& facts, const std::vector<TLinkSample>& samples,
                              const std::vector<int>& bars) {
    std::array<TChartHistory, 3> series;
    uint32_t timeMs = 0;
    for (size_t s = 0; s < samples.size(); ++s) {
        const TLinkSample& sample = samples[s];
        sampleplot::TSampleInput in;
        in.servoMode = facts.servoMode;
        in.unit = sampleplot::vuKiloPulsesPerSec;
        in.kfWord = facts.kfWord;
        in.barPosition = s < bars.size() ? bars[s] : protocol::BarCentre;
        in.velocity = sample.velocity;
        in.mismatch = sample.mismatch;
        // As the window plots: a repeated sample is no new point.
        const auto placed = sampleplot::PlaceSample(timeMs, sample.prevTick, sample.tick, in);
        if (!placed) continue;
        for (size_t i = 0; i < placed->points.size(); ++i)
            if (placed->points[i]) series[i].Add(placed->timeMs, *placed->points[i]);
        timeMs = placed->nextTimeMs;
    }
    chartcsv::TTable table;
    table.comments = Comments(facts, int(samples.size()));
    table.timeName = Utf8(chartunits::TimeTitle());
    const auto units = Units(facts.servoMode);
    for (size_t i = 0; i < series.size(); ++i)
        table.columns.push_back({Utf8(chartunits::ColumnName(int(i), units[i])), series[i]});
    return table;
}

}  // namespace cli
