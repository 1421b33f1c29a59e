// Readable QString values in test failure messages. The support library
// forces this into every test source, so all of them print the same way.
#pragma once

#include <ostream>

#include <QString>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
