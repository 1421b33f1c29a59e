// The default report: an error that escapes a window handler is shown in a
// modal box captioned with the application title, and the program goes on.
#pragma once

#include <functional>

#include <QString>

namespace report {

// Shows the message in the modal default report box.
void ShowDefaultReport(const QString& message);

// Runs a handler and reports whatever escapes it.
void RunHandler(const std::function<void()>& handler);

// Wraps a handler for connecting to a signal.
template <typename F>
auto Guarded(F handler) {
    return [handler](auto&&... args) {
        RunHandler([&] { handler(args...); });
    };
}

}  // namespace report
