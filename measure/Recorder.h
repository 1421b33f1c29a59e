// What a measurement records: each new sample placed at its controller tick
// on the record's time base, its points in the three series (the oldest
// dropped past the history depth, as the chart drops them), the ticks seen
// and missed, and the run it makes with the facts it was measured under.
// Plain data, used on the thread that measures.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include <QString>

#include "link/ControllerLink.h"
#include "record/ChartHistory.h"
#include "record/SamplePlot.h"
#include "runs/Run.h"

namespace measure {

// The settings a measurement starts with until the user changes them.
constexpr int DefaultHistoryDepth = 100;
constexpr int DefaultPulsesPerMm = 80;
constexpr int DefaultPeriodMs = 16;

// Fixed at the start: the servo mode and the unit name the columns, the
// depth bounds each series, the pulses per millimetre scale the velocity.
struct TRecordBase {
    int servoMode = -1;
    int unit = sampleplot::vuKiloPulsesPerSec;
    int historyDepth = DefaultHistoryDepth;
    int32_t pulsesPerMm = DefaultPulsesPerMm;
};

// Where a record's points are kept: the recorder's own histories, or (in
// the window) the chart's, which then draws the record as it grows.
class TRecordStore {
public:
    virtual ~TRecordStore() = default;
    virtual void Add(int series, double key, double value) = 0;
    virtual void RemoveFirst(int series) = 0;
    virtual void Clear() = 0;
    virtual const TChartHistory& History(int series) const = 0;
};

class TRecorder {
public:
    // store: none, the recorder's own histories.
    explicit TRecorder(TRecordStore* store = nullptr);
    TRecorder(const TRecorder&) = delete;
    TRecorder& operator=(const TRecorder&) = delete;

    void Begin(const TRecordBase& base);
    // A sample with what it is plotted under (mode, unit, bar and Kf as they
    // are now); the placed points, none for a repeated sample.
    std::optional<sampleplot::TPlaced> Add(const TLinkSample& sample, sampleplot::TSampleInput in);

    const TChartHistory& Series(int series) const { return FStore->History(series); }
    const TRecordBase& Base() const { return FBase; }
    // The time of the last sample placed; 0 before the first.
    uint32_t TimeMs() const { return FLastMs.value_or(0); }
    // Samples placed, and the controller ticks that passed between them unseen.
    uint32_t TicksSeen() const { return FSeen; }
    uint32_t TicksMissed() const { return FMissed; }

    // The series' columns, named by the units the start gave the value axes.
    std::array<QString, runs::SeriesCount> ColumnNames() const;
    // The record as a run: `facts` with this record's histories and names.
    runs::TRun Run(runs::TRun facts) const;

private:
    class TOwnStore;
    std::unique_ptr<TRecordStore> FOwnStore;
    TRecordStore* FStore;
    TRecordBase FBase;
    std::optional<uint32_t> FLastMs;
    uint32_t FSeen = 0;
    uint32_t FMissed = 0;
};

}  // namespace measure
