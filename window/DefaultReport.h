// The default report: an error that escapes a window handler is shown in a
// modal box captioned with the application title, and the program goes on.
#pragma once

#include <functional>

#include <QString>

class QMessageBox;

namespace report {

// Runs the modal box unless a box with the same caption and text is open
// already: a failure that repeats while its report is on screen (a key held
// down on a dead line) does not stack a box per repeat. False when not shown.
// Main thread.
bool ExecUnlessShown(QMessageBox& box);

// Shows the message in the modal default report box.
void ShowDefaultReport(const QString& message);

// Runs a handler and reports whatever escapes it.
void RunHandler(const std::function<void()>& handler);

}  // namespace report
