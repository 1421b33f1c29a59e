// The enabled property a control was given itself, whatever its container's
// state (Qt's isEnabled() also reports a disabled container).
#pragma once

#include <QWidget>

inline bool OwnEnabled(const QWidget* widget) {
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}
