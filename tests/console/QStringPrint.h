// Readable QString values in test failure messages. Every test file that
// compares QStrings includes this, so all of them print the same way.
#pragma once

#include <ostream>

#include <QString>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
