// The keyboard shortcuts: an application-wide event filter that sees every
// key press of every window before it is delivered, also inside modal boxes
// and nested event loops, acts once per press and lets the press go on.
// Main thread.
#include "ShortcutHook.h"

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>
#include <QWindow>

#include "MainUnit.h"
#include "OwnEnabled.h"
#include "TrackBar.h"

namespace {

// The platform's virtual-key codes the shortcuts use.
enum : int {
    vkLeft = 37, vkUp = 38, vkRight = 39, vkF2 = 113, vkF3 = 114, vkF11 = 122, vkF12 = 123
};

// Presses remembered for telling continuations apart; nesting is shallow.
constexpr size_t MaxSightings = 16;

// True when `next` is where a press seen at `previous` travels to: from its
// window to a widget of that window, or from a widget to its parent.
bool FollowsOn(const QObject* previous, const QObject* next) {
    if (!previous || !next->isWidgetType()) return false;
    const auto* widget = static_cast<const QWidget*>(next);
    if (previous->isWidgetType()) return widget == static_cast<const QWidget*>(previous)->parentWidget();
    if (auto* window = qobject_cast<const QWindow*>(previous))
        return widget->window()->windowHandle() == window;
    return false;
}

}  // namespace

TShortcutHook::TShortcutHook(TMainForm* form) : FForm(form) {
    qApp->installEventFilter(this);
}

TShortcutHook::~TShortcutHook() {
    if (qApp) qApp->removeEventFilter(this);
}

int TShortcutHook::VirtualKeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left: return vkLeft;
    case Qt::Key_Up: return vkUp;
    case Qt::Key_Right: return vkRight;
    case Qt::Key_F2: return vkF2;
    case Qt::Key_F3: return vkF3;
    case Qt::Key_F11: return vkF11;
    case Qt::Key_F12: return vkF12;
    default: return 0;
    }
}

bool TShortcutHook::IsNewPress(QObject* watched, const QKeyEvent* event) {
    auto same = std::find_if(FSightings.begin(), FSightings.end(), [event](const TSighting& s) {
        return s.event == event && s.key == event->key() && s.timestamp == event->timestamp();
    });
    if (same != FSightings.end() && FollowsOn(same->watched, watched)) {
        same->watched = watched;
        return false;
    }
    if (same != FSightings.end()) FSightings.erase(same);
    if (FSightings.size() == MaxSightings) FSightings.erase(FSightings.begin());
    FSightings.push_back({event, event->key(), event->timestamp(), watched});
    return true;
}

void TShortcutHook::Forget(const QKeyEvent* event) {
    // A release at this address ends whatever press was delivered there.
    std::erase_if(FSightings, [event](const TSighting& s) { return s.event == event; });
}

bool TShortcutHook::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        Forget(static_cast<QKeyEvent*>(event));
        return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // Record the press before acting: the action may run nested event loops.
    if (!IsNewPress(watched, key)) return false;
    const int virtualKey = VirtualKeyOf(key->key());
    // As any handler of the window: nothing is thrown through Qt's event
    // delivery, and a closed window no longer acts.
    if (virtualKey != 0) FForm->RunHandler([this, virtualKey] { FForm->ApplicationMessage(virtualKey); });
    return false;
}

void TMainForm::ApplicationMessage(int virtualKey) {
    switch (virtualKey) {
    case vkLeft:
        if (OwnEnabled(tbarSubCommand) && tbarSubCommand->Position() > tbarSubCommand->minimum())
            tbarSubCommand->SetPosition(tbarSubCommand->Position() - 1);
        break;
    case vkRight:
        if (OwnEnabled(tbarSubCommand) && tbarSubCommand->Position() < tbarSubCommand->maximum())
            tbarSubCommand->SetPosition(tbarSubCommand->Position() + 1);
        break;
    case vkUp:
        if (OwnEnabled(tbarSubCommand)) sbtnCenterClick();
        break;
    case vkF2:
    case vkF12:
        if (OwnEnabled(btnGraph)) btnGraphClick();
        break;
    case vkF3:
    case vkF11:
        if (OwnEnabled(btnSTOP)) btnSTOPClick();
        break;
    default:
        break;  // Down and every other key: nothing
    }
}
