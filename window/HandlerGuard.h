// Keeps count of one window's handlers on the stack (a handler waiting for a
// reply runs nested event loops, in which further handlers run) and holds
// back what must wait until the last of them has returned: the window's
// deletion on close, the first link failure they met, and any work asked to
// run once no handler runs. Main thread only.
#pragma once

#include <exception>
#include <functional>
#include <vector>

#include <QString>

class QWidget;

class THandlerGuard {
public:
    using TNoteShower = std::function<void(const QString& note)>;
    using TErrorSink = std::function<void(const std::exception_ptr& error)>;

    // showNote tells a kept note again once the handlers have ended.
    THandlerGuard(QWidget& window, TNoteShower showNote);
    THandlerGuard(const THandlerGuard&) = delete;
    THandlerGuard& operator=(const THandlerGuard&) = delete;

    // One handler on the stack for the life of the scope.
    class TScope {
    public:
        explicit TScope(THandlerGuard& guard) : FGuard(guard) { ++FGuard.FDepth; }
        ~TScope() { FGuard.Leave(); }
        TScope(const TScope&) = delete;
        TScope& operator=(const TScope&) = delete;

    private:
        THandlerGuard& FGuard;
    };

    // Runs a handler unless the window is closed. What escapes it goes to
    // onError, still inside the handler's scope, unless the window was
    // closed meanwhile (its port is shut, so the failure is no news).
    void Run(const std::function<void()>& handler, const TErrorSink& onError);

    bool Busy() const { return FDepth > 0; }
    bool Closed() const { return FClosed; }
    // Handlers stop running; a delete-on-close waits for those on the stack.
    void Close();

    // Keeps the first note met while handlers run: a handler that goes on
    // sending would empty the panel that tells it at once.
    void NoteFailure(const QString& text);
    // Keeps this note whatever was kept before.
    void KeepNote(const QString& text);

    // Runs the action once no handler is on the stack: when the last of them
    // returns, or on the next pass of the event loop when none runs now.
    void WhenIdle(std::function<void()> action);

private:
    void Leave();
    void RunPending();

    QWidget& FWindow;
    TNoteShower FShowNote;
    int FDepth = 0;                 // handlers now on the stack
    bool FClosed = false;
    bool FDeleteWhenIdle = false;   // delete-on-close waits for the handlers
    QString FNote;                  // the note to tell again
    std::vector<std::function<void()>> FPending;  // oldest first
};
