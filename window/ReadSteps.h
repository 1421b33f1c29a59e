// One step of a multi-step read: it sends one command and waits; a read
// stops at its first step that does not end accepted, empties the fields of
// that step and of those after it, and names it in panel 0 (ReadSteps.cpp).
#pragma once

#include <functional>

#include <QString>

struct TReadStep {
    QString name;                 // the command as the status bar names it, e.g. "R2"
    std::function<bool()> send;   // the send operation
    std::function<void()> clear;  // empties what the step would have filled
};
