#include "window/HandlerGuard.h"

#include <utility>

#include <QTimer>
#include <QWidget>

THandlerGuard::THandlerGuard(QWidget& window, TNoteShower showNote)
    : FWindow(window), FShowNote(std::move(showNote)) {}

void THandlerGuard::Run(const std::function<void()>& handler, const TErrorSink& onError) {
    if (FClosed) return;
    TScope busy(*this);
    std::exception_ptr error;
    try {
        handler();
    } catch (...) {
        error = std::current_exception();
    }
    if (error && !FClosed) onError(error);
}

void THandlerGuard::Close() {
    FClosed = true;
    // A handler still waiting for a reply runs on until it returns; deleting
    // the window under it would pull its controls away.
    if (Busy() && FWindow.testAttribute(Qt::WA_DeleteOnClose)) {
        FWindow.setAttribute(Qt::WA_DeleteOnClose, false);
        FDeleteWhenIdle = true;
    }
}

void THandlerGuard::NoteFailure(const QString& text) {
    if (Busy() && FNote.isEmpty()) FNote = text;
}

void THandlerGuard::KeepNote(const QString& text) { FNote = text; }

void THandlerGuard::WhenIdle(std::function<void()> action) {
    FPending.push_back(std::move(action));
    if (!Busy()) QTimer::singleShot(0, &FWindow, [this] { RunPending(); });
}

void THandlerGuard::Leave() {
    if (--FDepth > 0) return;
    const QString note = std::exchange(FNote, QString());
    if (!note.isEmpty() && !FClosed) FShowNote(note);
    RunPending();
    if (!FDeleteWhenIdle) return;
    FDeleteWhenIdle = false;
    FWindow.deleteLater();
}

// An action may run handlers of its own (a modal box), whose end comes back
// here: each action leaves the queue before it runs.
void THandlerGuard::RunPending() {
    while (!Busy() && !FPending.empty()) {
        std::function<void()> action = std::move(FPending.front());
        FPending.erase(FPending.begin());
        action();
    }
}
