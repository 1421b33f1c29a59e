// The keyboard shortcuts: an application-wide event filter that sees every
// key press of every window before it is delivered, also inside modal boxes
// and nested event loops, acts once per press and lets the press go on.
// Main thread.
#include "window/ShortcutHook.h"

#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <QWindow>

#include "window/MainUnit.h"
#include "window/OwnEnabled.h"
#include "window/TrackBar.h"

namespace {

// The platform's virtual-key codes the shortcuts use.
enum : int {
    vkEscape = 27, vkLeft = 37, vkUp = 38, vkRight = 39, vkF2 = 113, vkF3 = 114, vkF11 = 122, vkF12 = 123
};

bool IsArrow(int virtualKey) { return virtualKey == vkLeft || virtualKey == vkUp || virtualKey == vkRight; }

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
    case Qt::Key_Escape: return vkEscape;
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
    if (virtualKey == 0) return false;
    // Where the press would go, taken before acting (the action may move the focus).
    const bool arrowsMoveTheControl = TakesArrowsItself(watched);
    bool acted = false;
    // As any handler of the window: nothing is thrown through Qt's event
    // delivery, and a closed window no longer acts.
    FForm->RunHandler([this, virtualKey, &acted] { acted = FForm->ApplicationMessage(virtualKey); });
    // An arrow that drove the bar must not also switch a radio group (the
    // servo mode) or move the focus between buttons; an edit and the bar
    // itself still get it.
    return acted && IsArrow(virtualKey) && !arrowsMoveTheControl;
}

// True when the control a press seen at `watched` goes to is an edit or the
// drive bar, which take the arrows themselves.
bool TShortcutHook::TakesArrowsItself(QObject* watched) {
    QObject* target = watched->isWidgetType() ? watched : QApplication::focusWidget();
    return qobject_cast<QLineEdit*>(target) || qobject_cast<TTrackBar*>(target);
}

bool TMainForm::ApplicationMessage(int virtualKey) {
    const auto act = [](bool when, const auto& action) {
        if (when) action();
        return when;
    };
    switch (virtualKey) {
    case vkLeft: return Drive->StepBar(-1);
    case vkRight: return Drive->StepBar(+1);
    case vkUp: return act(Drive->DriveAllowed(), [&] { Drive->sbtnCenterClick(); });
    case vkEscape: return AbortStepTest();  // otherwise Esc does what it did
    case vkF2:
    case vkF12: return act(OwnEnabled(btnGraph), [&] { btnGraphClick(); });
    case vkF3:
    case vkF11: return act(OwnEnabled(btnSTOP), [&] { btnSTOPClick(); });
    default: return false;  // Down and every other key: nothing
    }
}
