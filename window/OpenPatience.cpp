#include "window/OpenPatience.h"

#include <utility>

#include <QApplication>

#include "comm/CommApi.h"
#include "window/StatusBar.h"

namespace {

const int LinkPanel = 0;

QString Connecting() { return QString::fromUtf8("Подключение…"); }

}  // namespace

TOpenPatience::TOpenPatience(TStatusBar& statusBar) : FStatusBar(statusBar) {
    commapi::SetOpenPatience([this] {
        Announce();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
}

TOpenPatience::~TOpenPatience() {
    commapi::SetOpenPatience({});
    if (!FAnnounced) return;
    QApplication::restoreOverrideCursor();
    if (FStatusBar.PanelText(LinkPanel) == Connecting()) FStatusBar.SetPanelText(LinkPanel, FPanelText);
}

void TOpenPatience::Announce() {
    if (std::exchange(FAnnounced, true)) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FPanelText = FStatusBar.PanelText(LinkPanel);
    FStatusBar.SetPanelText(LinkPanel, Connecting());
}
