// Multi-step reads: the connect read-out, the parameter read and the read
// after a bank load. A field shows only the reply to its own command, so a
// read stops at its first step that does not end accepted, empties what that
// step and the steps after it would have filled (a later "Задать" then meets
// the input error mark instead of writing a stale value), and says in panel 0
// of the status bar which step failed. Main thread.
#include <array>

#include <QLineEdit>

#include "paramset/ParamSync.h"
#include "window/MainUnit.h"
#include "window/StatusBar.h"


// A step waits for a transaction that another handler (a measurement poll)
// has under way instead of being refused: its field must come from its own reply.
TLinkState TMainForm::RunReadStep(const TReadStep& step) {
    paramsync::SendWhenFree(*Link, step.send);
    return Link->WaitReply();
}

void TMainForm::RunReadSteps(const std::vector<TReadStep>& steps) {
    const auto ClearFrom = [&steps](size_t first) {
        for (size_t j = first; j < steps.size(); ++j)
            if (steps[j].clear) steps[j].clear();
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        TLinkState state;
        try {
            state = RunReadStep(steps[i]);
        } catch (const ELinkLost&) {
            ClearFrom(i);  // the line went: these will never be read
            throw;
        }
        if (state == lsDone) continue;
        ClearFrom(i);
        const QString text = paramsync::FailureText(state, steps[i].name);
        StatusBar->SetPanelText(0, text);
        FHandlers.KeepNote(text);  // outlasts the notes of the failure itself
        return;
    }
}

std::vector<TReadStep> TMainForm::ConnectReadSteps() {
    std::vector<TReadStep> steps{
        {QStringLiteral("I"), [this] { return Link->SendIdentify(); },
         [this] {
             FIdentPanel.clear();
             ShowControllerPanel();
         }},
        {QStringLiteral("m"), [this] { return Link->SendGetMode(); },
         [this] { Drive->ShowMode(-1); }},
        {QStringLiteral("p"), [this] { return Link->SendGetPosition(); },
         [this] { Positions->PositionEdit()->clear(); }},
    };
    for (TReadStep& step : Params->ReadSteps()) steps.push_back(std::move(step));
    return steps;
}
