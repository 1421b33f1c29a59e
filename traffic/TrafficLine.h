// One line of a traffic log: a frame sent, a reply (or its absence), the
// probe folded into one, or the line going away; and its text in columns:
// time (ms), direction, bytes in hex, meaning, outcome, round trip.
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
    QString meaning;       // the command or the reply decoded
    QString outcome;       // empty for a frame sent
    std::optional<double> rttMs;
    bool failure = false;  // refused, unreadable, unanswered, half a reply, lost, probe unanswered
    bool Poll() const { return code == 'V' && !failure; }
};

// "V", "W #3 (Kp)=1 [256]", "B drive=32", "M mode=2 (velocity)".
QString SentMeaning(std::span<const uint8_t> frame, const TWords& words);
// What an accepted reply to `frame` said: "mode=2 (velocity)", "Kp (#3)=1 [256]",
// "tick=12 v=80 (16000 imp/s) mismatch=0".
QString ReplyMeaning(std::span<const uint8_t> frame, std::span<const uint8_t> reply, const TWords& words);
QString Outcome(uint8_t code, TLinkState state, size_t replyBytes, const TWords& words);
// The columns, one line, no line end.
QString Text(const TLine& line);

}  // namespace traffic
