#include "measure/Recorder.h"

#include "record/ChartUnits.h"

namespace measure {

class TRecorder::TOwnStore : public TRecordStore {
public:
    void Add(int series, double key, double value) override { FSeries[size_t(series)].Add(key, value); }
    void RemoveFirst(int series) override { FSeries[size_t(series)].RemoveFirst(); }
    void Clear() override {
        for (TChartHistory& series : FSeries) series.Clear();
    }
    const TChartHistory& History(int series) const override { return FSeries[size_t(series)]; }

private:
    std::array<TChartHistory, runs::SeriesCount> FSeries;
};

TRecorder::TRecorder(TRecordStore* store)
    : FOwnStore(store ? nullptr : std::make_unique<TOwnStore>()), FStore(store ? store : FOwnStore.get()) {}

void TRecorder::Begin(const TRecordBase& base) {
    FBase = base;
    FStore->Clear();
    FLastMs.reset();
    FSeen = 0;
    FMissed = 0;
}

std::optional<sampleplot::TPlaced> TRecorder::Add(const TLinkSample& sample, sampleplot::TSampleInput in) {
    in.velocity = sample.velocity;
    in.mismatch = sample.mismatch;
    in.pulsesPerMm = FBase.pulsesPerMm;
    const auto placed = sampleplot::PlaceSample(FLastMs, sample.prevTick, sample.tick, in);
    if (!placed) return std::nullopt;
    // The first sample's ticks before it belong to no record.
    if (FLastMs) FMissed += placed->ticks - 1;
    ++FSeen;
    const sampleplot::TSamplePoints& points = placed->points;
    for (size_t i = 0; i < points.size(); ++i)
        if (points[i]) FStore->Add(int(i), double(placed->timeMs), *points[i]);
    if (FStore->History(0).Count() > FBase.historyDepth) {
        for (size_t i = 0; i < points.size(); ++i)
            if (points[i]) FStore->RemoveFirst(int(i));
    }
    FLastMs = placed->timeMs;
    return placed;
}

std::array<QString, runs::SeriesCount> TRecorder::ColumnNames() const {
    const chartunits::TAxisTitles titles = chartunits::AxisTitles(FBase.servoMode, FBase.unit);
    const QString left = chartunits::AxisUnit(titles.left.value_or(QString()));
    const QString right = chartunits::AxisUnit(titles.right.value_or(QString()));
    // Series1 and Series3 on the left axis, Series2 on the right one.
    return {chartunits::ColumnName(0, left), chartunits::ColumnName(1, right), chartunits::ColumnName(2, left)};
}

runs::TRun TRecorder::Run(runs::TRun facts) const {
    facts.timeName = chartunits::TimeTitle();
    facts.seriesNames = ColumnNames();
    for (int i = 0; i < runs::SeriesCount; ++i) facts.series[size_t(i)] = FStore->History(i);
    facts.ticksMissed = int(FMissed);
    return facts;
}

}  // namespace measure
