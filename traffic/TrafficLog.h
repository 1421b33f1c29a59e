// The traffic log: every frame and reply the link traced, kept as lines up
// to a bound (the oldest go first), each with its time on the owner's clock
// and a round trip measured here. A sink (servo-cli's trace file) gets each
// line as it comes; a view reads the lines and their count. Main thread.
#pragma once

#include <deque>
#include <functional>

#include <QElapsedTimer>

#include "link/LinkTrace.h"
#include "traffic/TrafficLine.h"

namespace traffic {

class TLog : public TLinkTrace {
public:
    // 100,000 lines take about 15 MB (measured: 153 bytes a poll's line).
    static constexpr size_t DefaultBound = 100000;

    // clock: the time of a line, in ms.
    TLog(TWords words, std::function<double()> clock, size_t bound = DefaultBound);

    void SetSink(std::function<void(const TLine&)> sink) { FSink = std::move(sink); }
    const std::deque<TLine>& Lines() const { return FLines; }
    // A line in this log's words.
    QString Text(const TLine& line) const { return traffic::Text(line, FWords); }
    // Lines ever added; a view compares it with what it has shown.
    uint64_t Added() const { return FAdded; }
    uint64_t Dropped() const { return FAdded - FLines.size(); }
    void Clear();

    // TLinkTrace
    void FrameSent(std::span<const uint8_t> frame) override;
    void TransactionEnded(uint8_t code, TLinkState state, std::span<const uint8_t> reply) override;
    void Probed(int sent, bool answered) override;
    void LineLost() override;

private:
    void Add(TLine line);

    const TWords FWords;
    const std::function<double()> FClock;
    const size_t FBound;
    std::deque<TLine> FLines;
    uint64_t FAdded = 0;
    QElapsedTimer FSentAt;
    QByteArray FFrame;  // the last frame sent, which a reply answers
    std::function<void(const TLine&)> FSink;
};

}  // namespace traffic
