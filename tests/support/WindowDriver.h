// The window's controls reached by their design names ("btnConnect",
// "edtParam1"), not through the window's members: a test drives the window
// as its user sees it, whichever panel a control belongs to.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

namespace testsupport {

template <typename T>
T* Ctl(const QWidget& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    if (!control) ADD_FAILURE() << "no control named " << name;
    return control;
}

}  // namespace testsupport
