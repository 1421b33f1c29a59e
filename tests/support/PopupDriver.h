// Menus and dialogs as a user meets them: a right click (through the window
// system, so the toolkit turns it into a context-menu request) or the Menu
// key opens the popup, an entry is clicked where the shown menu draws it,
// and a modal dialog is answered once it is up.
#pragma once

#include <functional>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "tests/support/Wait.h"

namespace testsupport {

// The popup menu once shown, none when none came up within the limit.
inline QMenu* ShownMenu() {
    QMenu* menu = nullptr;
    WaitFor([&menu] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu && menu->isVisible();
    });
    return menu;
}

// A right click at `at` in `widget`'s coordinates.
inline QMenu* RightClickMenu(QWidget& widget, QPoint at) {
    QWidget* window = widget.window();
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, {}, widget.mapTo(window, at));
    return ShownMenu();
}

// The Menu key pressed with the focus in `widget`: the key, then the
// keyboard's context-menu request that the X11 platform adds to it for the
// widget with the focus (the offscreen platform adds none).
inline QMenu* MenuKeyMenu(QWidget& widget) {
    widget.setFocus();
    QTest::keyClick(widget.window()->windowHandle(), Qt::Key_Menu);
    QContextMenuEvent request(QContextMenuEvent::Keyboard, widget.rect().center(),
                              widget.mapToGlobal(widget.rect().center()));
    QApplication::sendEvent(&widget, &request);
    return ShownMenu();
}

inline QAction* Entry(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions())
        if (action->text() == text) return action;
    return nullptr;
}

// Clicks the entry where the shown menu draws it; false when the menu did
// not close within the limit (a disabled entry: the limit is then a spell).
inline bool ChooseAction(QMenu* menu, QAction* action, int limitMs = WaitLimitMs) {
    const QPoint at = menu->actionGeometry(action).center();
    QTest::mouseMove(menu, at);
    QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    const QPointer<QMenu> shown(menu);  // a menu may be freed once it closes
    return WaitFor([shown] { return !shown || !shown->isVisible(); }, limitMs);
}

// The same for the entry named `text`; false when there is none.
inline bool ChooseEntry(QMenu* menu, const QString& text, int limitMs = WaitLimitMs) {
    QAction* action = menu ? Entry(*menu, text) : nullptr;
    return action && ChooseAction(menu, action, limitMs);
}

// Answers the next modal dialog of kind D as `answer` says, once, when it is
// shown; Answered tells whether it came.
template <typename D>
class TModalAnswer {
public:
    explicit TModalAnswer(std::function<void(D&)> answer) : FAnswer(std::move(answer)) {
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start(20);
    }
    bool Answered = false;

private:
    void Poll() {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (Answered || !dialog || !dialog->isVisible()) return;
        Answered = true;
        FAnswer(*dialog);
    }
    std::function<void(D&)> FAnswer;
    QTimer FTimer;
};

}  // namespace testsupport
