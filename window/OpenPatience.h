// For the span of a port's open on the window's thread: while a network
// device connects, the window keeps drawing and its timers run; input waits
// until the open has ended, so a click or a close of the window cannot land
// in a half-open port. Once the wait lasts, the cursor shows it and the
// status bar's link panel says "Подключение…" until the open has ended.
#pragma once

#include <QString>

class TStatusBar;

class TOpenPatience {
public:
    explicit TOpenPatience(TStatusBar& statusBar);
    ~TOpenPatience();
    TOpenPatience(const TOpenPatience&) = delete;
    TOpenPatience& operator=(const TOpenPatience&) = delete;

private:
    void Announce();

    TStatusBar& FStatusBar;
    bool FAnnounced = false;
    QString FPanelText;  // what the link panel said before
};
