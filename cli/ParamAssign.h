// "params set Kp=1.6 Ki=0.25": parameters named by their label (Kf, Kp,
// Ki) or number (#1 to #6) with the value the window's edit would take,
// converted and range-checked as the window converts them. Any thread.
#pragma once

#include <map>

#include <QStringList>

namespace cli {

// Parameter index -> word. Every bad assignment is named in `errors`.
std::map<int, uint16_t> ParamAssignments(const QStringList& texts, QStringList& errors);
// Whether the words after "params set" are assignments rather than a file.
bool AreAssignments(const QStringList& texts);

}  // namespace cli
