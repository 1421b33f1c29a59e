// What the live chart's series changed since they were last drawn, as
// strips of the plot: points enter at the back and leave at the front, so a
// series changed from its newest key drawn then to its newest key now, and
// from its oldest key then to its oldest key now. A series whose look
// changed (pen, visibility, line style, a line turned into spans per column
// or back), or whose points were all removed, and a history cleared or
// assigned anew, change everything. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <QPen>
#include <QRect>
#include <qcustomplot.h>

class TSeriesGraph;

class TChartChanges {
public:
    static constexpr int SeriesCount = 3;
    explicit TChartChanges(const std::array<TSeriesGraph*, SeriesCount>& series);

    void NoteAdded(int series) { ++FAdded[size_t(series)]; }
    void NoteRemoved(int series) { ++FRemoved[size_t(series)]; }
    // Everything changed (the histories were cleared or assigned).
    void Forget() { FDrawn.reset(); }
    // The series as drawn just now.
    void NoteDrawn();
    // The strips of the plot to repaint, each with what strokes reach beside
    // it; none when nothing changed; nothing when the whole must be drawn.
    std::optional<std::vector<QRect>> Parts() const;

private:
    struct TState {
        std::optional<QCPRange> keys;  // first and last; none while empty
        uint64_t added = 0;
        uint64_t removed = 0;
        bool dense = false;
        QPen pen;
        bool visible = false;
        int lineStyle = 0;
        bool SameLook(const TState& other) const;
    };
    using TStates = std::array<TState, SeriesCount>;
    TStates Now() const;
    QRect PlotPart(const QCPRange& keys) const;

    std::array<TSeriesGraph*, SeriesCount> FSeries;
    std::array<uint64_t, SeriesCount> FAdded{};
    std::array<uint64_t, SeriesCount> FRemoved{};
    std::optional<TStates> FDrawn;  // as last drawn; nothing while unknown
};
