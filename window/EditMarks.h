// The grounds an edit shows: red with white text where the console could
// not take what was typed, pale yellow where the user changed a value that
// has not been sent (and the same pale yellow for a differing row of the
// file comparison). Main thread only.
#pragma once

#include <QColor>

class QLineEdit;

namespace editmarks {

inline const QColor ErrorBase(255, 0, 0);
inline const QColor ErrorText(255, 255, 255);
inline const QColor EditedBase(255, 244, 196);

// The red mark of an input that was not taken.
void MarkError(QLineEdit* edit);
// The quiet mark on or off.
void MarkEdited(QLineEdit* edit, bool edited);
// Back to the system's window and window-text colours.
void Clear(QLineEdit* edit);

}  // namespace editmarks
