// For the span of a port's open on the window's thread: while a network
// device connects, the window keeps drawing and its timers run; input waits
// until the open has ended, so a click or a close of the window cannot land
// in a half-open port; the cursor shows the wait once it lasts.
#pragma once

class TOpenPatience {
public:
    TOpenPatience();
    ~TOpenPatience();
    TOpenPatience(const TOpenPatience&) = delete;
    TOpenPatience& operator=(const TOpenPatience&) = delete;

private:
    bool FBusyCursor = false;
};
