#include "window/LayoutParts.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace layoutparts {

QGroupBox* Group(QWidget* parent, const char* caption, const QRect& geometry) {
    return Place<QGroupBox>(parent, geometry, T(caption));
}

QPushButton* Button(QWidget* parent, const char* text, const QRect& geometry) {
    auto* button = Place<QPushButton>(parent, geometry, T(text));
    button->setAutoDefault(true);
    return button;
}

QLineEdit* Edit(QWidget* parent, const char* text, const QRect& geometry) {
    return Place<QLineEdit>(parent, geometry, T(text));
}

QLineEdit* Edit(QWidget* parent, int value, const QRect& geometry) {
    return Place<QLineEdit>(parent, geometry, QString::number(value));
}

QLabel* Label(QWidget* parent, const char* text, const QRect& geometry) {
    return Place<QLabel>(parent, geometry, T(text));
}

QSpinBox* SpinBox(QWidget* parent, const char* name, int low, int high, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

}  // namespace layoutparts
