#include "OpenPatience.h"

#include <utility>

#include <QApplication>

#include "CommApi.h"

TOpenPatience::TOpenPatience() {
    commapi::SetOpenPatience([this] {
        if (!std::exchange(FBusyCursor, true)) QApplication::setOverrideCursor(Qt::WaitCursor);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}

TOpenPatience::~TOpenPatience() {
    commapi::SetOpenPatience({});
    if (FBusyCursor) QApplication::restoreOverrideCursor();
}
