// What the window says of the controller itself: who it is while it answers,
// that it is silent after time-outs in a row, that none is connected after a
// disconnect or a lost line, and a stop that it did not confirm. Main thread.
#include "MainUnit.h"
#include "StatusBar.h"

void TMainForm::ShowControllerPanel() {
    QString text = FOffPanel;
    if (UART->Enabled()) text = ControllerSilent() ? QString::fromUtf8("Контроллер не отвечает") : FIdentPanel;
    StatusBar->SetPanelText(1, text);
}

void TMainForm::LinkTransactionEnded(uint8_t code, TLinkState state) {
    NoteAnswer(state);
    WatchStop(code, state);
    PollEnded();
}

// A refused command is an answer too; an unreadable one proves nothing.
void TMainForm::NoteAnswer(TLinkState state) {
    const bool wasSilent = ControllerSilent();
    if (state == lsTimedOut) ++FTimeoutsInRow;
    else if (state == lsDone || state == lsRefused) FTimeoutsInRow = 0;
    if (ControllerSilent() != wasSilent) ShowControllerPanel();
}

// The window shows the stopped state at once; whether the controller took
// the zero and the set-mode is known only when their transactions end.
void TMainForm::WatchStop(uint8_t code, TLinkState state) {
    if (!FStopWatched) return;
    if (code == 'B' && state != lsDone) FStopDriveFailed = true;
    if (code != 'M') return;
    FStopWatched = false;
    if (state == lsDone && !FStopDriveFailed) return;
    FHandlers.WhenIdle([this] {
        ShowError(QString::fromUtf8("СТОП не подтверждён: контроллер не ответил на команду останова"));
    });
}
