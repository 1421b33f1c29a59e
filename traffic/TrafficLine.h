// One line of a traffic log: a frame sent, a reply (or its absence), the
// probe folded into one, or the line going away; and its text in columns:
// time (ms), direction, bytes in hex, meaning, outcome, round trip. A line
// keeps the raw facts alone and is worded when shown: logging a poll costs
// two small copies, not a formatted text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include <QByteArray>
#include <QString>

#include "traffic/TrafficWords.h"

enum TLinkState : uint8_t;

namespace traffic {

struct TLine {
    enum EKind : uint8_t { Sent, Reply, Probe, Lost };
    double timeMs = 0;
    EKind kind = Sent;
    uint8_t code = 0;      // the command's
    QByteArray bytes;      // as they went over the line
    QByteArray frame;      // a reply's: the frame it answers
    TLinkState state{};    // a reply's end
    int probes = 0;        // a probe's bytes sent
    bool answered = false; // a probe's
    std::optional<double> rttMs;
    bool failure = false;  // refused, unreadable, unanswered, half a reply, lost, probe unanswered
    bool Poll() const { return code == 'V' && !failure; }
};

// A frame: "V", "W Kp (#3)=1 [256]", "B drive=32", "M mode=2 (velocity)";
// an accepted reply: "mode=2 (velocity)", "Kp (#3)=1 [256]",
// "tick=12 v=80 (16000 imp/s) mismatch=0"; a probe: "probe ×3".
QString Meaning(const TLine& line, const TWords& words);
// "accepted", "no answer, half a reply: 3 of 7 bytes", "line lost"; none for a frame sent.
QString Outcome(const TLine& line, const TWords& words);
// The columns, one line, no line end.
QString Text(const TLine& line, const TWords& words);

}  // namespace traffic
