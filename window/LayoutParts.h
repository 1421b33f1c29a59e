// How the window's controls are made: placed at their design geometry, with
// their texts as the user sees them (UTF-8 in the source). Main thread.
#pragma once

#include <utility>

#include <QRect>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QWidget;

namespace layoutparts {

inline QString T(const char* text) { return QString::fromUtf8(text); }

template <typename W, typename... Args>
W* Place(QWidget* parent, const QRect& geometry, Args&&... args) {
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setGeometry(geometry);
    return widget;
}

// The control under the name the window's design gives it (tests and tools
// find controls by it).
template <typename W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QGroupBox* Group(QWidget* parent, const char* caption, const QRect& geometry);
// Enter presses the push button that has the focus.
QPushButton* Button(QWidget* parent, const char* text, const QRect& geometry);
QLineEdit* Edit(QWidget* parent, const char* text, const QRect& geometry);
// An edit holding a number.
QLineEdit* Edit(QWidget* parent, int value, const QRect& geometry);
QLabel* Label(QWidget* parent, const char* text, const QRect& geometry);

// A dialog's spin box, named, its range and value set.
QSpinBox* SpinBox(QWidget* parent, const char* name, int low, int high, int value);

}  // namespace layoutparts
