// What the window does with the link's notices: the decoded values into
// their fields, failures in panel 0, and what it says of the controller
// itself: who it is while it answers, that it is silent after time-outs in a
// row, that none is connected after a disconnect or a lost line, and a stop
// that it did not confirm. Main thread only.
#include <QLineEdit>

#include "link/Protocol.h"
#include "paramset/ParamSync.h"
#include "window/MainUnit.h"
#include "window/StatusBar.h"

void TMainForm::LinkIdentified(const QString& panelText) {
    FIdentPanel = panelText;
    ShowControllerPanel();
}

void TMainForm::LinkModeDecoded(int mode) {
    Drive->ShowMode(mode);
}

void TMainForm::LinkPositionDecoded(int32_t position) {
    Positions->ShowPosition(position);
}

void TMainForm::LinkTargetDecoded(int32_t target) { Positions->ShowTarget(target); }

void TMainForm::LinkParamDecoded(int index, uint16_t word) { Params->ParamDecoded(index, word); }

void TMainForm::LinkStatusText(const QString& text) {
    // While measuring, the next poll follows a lost one within milliseconds
    // and would empty "Timeout" before anyone could read it.
    const bool holding = FMeasure->Polling() && FNoteShown.isValid() && FNoteShown.elapsed() < NoteHoldMs;
    if (text.isEmpty() && holding) return;
    StatusBar->SetPanelText(0, text);
}

void TMainForm::LinkSampleDecoded(const TLinkSample& sample) { FMeasure->SampleDecoded(sample); }

void TMainForm::LinkCaptionOverflow() { setWindowTitle(QStringLiteral(">128")); }

void TMainForm::LinkReadError() { ShowError(QStringLiteral("Port Read Error")); }

void TMainForm::LinkTimedOut() {
    NoteLinkFailure(QStringLiteral("Timeout"));
    FNoteShown.start();
}

void TMainForm::LinkReplyFailed(uint8_t code, TLinkState state) {
    NoteLinkFailure(paramsync::FailureText(state, QString(QChar::fromLatin1(char(code)))));
}

// Panel 0 tells of the last link failure until the next command empties it.
// A handler that goes on sending would empty it at once, so the first failure
// met while handlers run is shown again when the last of them has ended.
void TMainForm::NoteLinkFailure(const QString& text) {
    StatusBar->SetPanelText(0, text);
    FHandlers.NoteFailure(text);
}

void TMainForm::ShowLinkNote(const QString& note) {
    if (StatusBar->PanelText(0).isEmpty()) StatusBar->SetPanelText(0, note);
}

void TMainForm::ShowControllerPanel() {
    QString text = FOffPanel;
    if (UART->Enabled()) text = ControllerSilent() ? QString::fromUtf8("Контроллер не отвечает") : FIdentPanel;
    StatusBar->SetPanelText(1, text);
}

void TMainForm::LinkTransactionEnded(uint8_t code, TLinkState state) {
    NoteAnswer(state);
    WatchStop(code, state);
    FMeasure->TransactionEnded(code, state);
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
    if (code == protocol::cmdDrive && state != lsDone) FStopDriveFailed = true;
    if (code != protocol::cmdSetMode) return;
    FStopWatched = false;
    if (state == lsDone && !FStopDriveFailed) return;
    FHandlers.WhenIdle([this] {
        ShowError(QString::fromUtf8("СТОП не подтверждён: контроллер не ответил на команду останова"));
    });
}
