// The few words of a traffic log's lines, one set a program: the window
// speaks Russian, servo-cli English. Commands and values are written the same
// in both (the command letter, "#3 (Kp)=1 [256]").
#pragma once

#include <array>

#include <QString>

namespace traffic {

struct TWords {
    QString accepted, refused, unparsed, timedOut;
    QString partial;  // "%1 of %2 bytes"
    QString probe, answered, unanswered, lineLost;
    std::array<QString, 4> modes;  // in wire order
};

TWords Russian();
TWords English();

}  // namespace traffic
