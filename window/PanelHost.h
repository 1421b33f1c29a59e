// What a panel of the main window needs of the window around it: the link,
// the input error mark, the error box, the multi-step reads, and its clicks
// and other handlers run as every handler of the window is. Main thread only.
#pragma once

#include <functional>
#include <vector>

#include "window/ReadSteps.h"

class QAbstractButton;
class QLineEdit;
class QString;
class TControllerLink;

class TPanelHost {
public:
    virtual ~TPanelHost() = default;
    virtual TControllerLink& PanelLink() = 0;
    virtual void MarkInputError(QLineEdit* edit) = 0;
    virtual void ShowError(const QString& text) = 0;
    virtual void RunReadSteps(const std::vector<TReadStep>& steps) = 0;
    virtual void BindClick(QAbstractButton* button, std::function<void()> handler) = 0;
    // Runs a handler as every handler of the window runs.
    virtual void RunHandler(const std::function<void()>& handler) = 0;
    // Runs it as RunHandler does once the event that asked for it has been
    // handled: a menu's or a dialog's own code is off the stack before the
    // handler's waits pump the events that may free that menu or dialog.
    virtual void RunHandlerLater(const std::function<void()>& handler) = 0;
};
