// The serial devices the port box offers besides the fixed COM entries.
#pragma once

#include <QString>
#include <QStringList>

namespace portlist {

// Under devRoot ("/dev" on a real system): the targets of serial/by-id/*,
// then ttyUSB* and ttyACM*, each device once, in natural order within a kind.
QStringList FindSerialDevices(const QString& devRoot = QStringLiteral("/dev"));

}  // namespace portlist
