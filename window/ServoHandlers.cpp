// Servo mode, positions and the manual drive command. Main thread only.
#include <utility>

#include <QCoreApplication>
#include <QLineEdit>
#include <QThread>
#include <QToolButton>

#include "MainUnit.h"
#include "OwnEnabled.h"
#include "Protocol.h"
#include "RadioGroup.h"
#include "TrackBar.h"

namespace {

using protocol::BarCentre;
constexpr int MaxVerifyRetries = 10;

bool Failed(TLinkState state) { return state == lsRefused || state == lsUnparsed; }

// Asks for the mode until the query has ended with an answer, the link has
// timed out, or more than ten passes began after a failed reply. Returns the
// number of those passes.
int VerifyMode(TControllerLink& link) {
    int retries = 0;
    for (bool first = true;; first = false) {
        if (Failed(link.State())) ++retries;
        link.SendGetMode();
        // The first pass only looks; later ones sleep until something arrives
        // (a pending transaction always ends, by reply or by the reply timer).
        if (first) QCoreApplication::processEvents();
        else link.WaitPass();
        link.CheckLine();  // the line went away while waiting: nothing will answer
        const TLinkState state = link.State();
        const bool answered = link.LastCommand() == 'm' && state != lsPending && state != lsUnparsed;
        if (answered || retries > MaxVerifyRetries || state == lsTimedOut) return retries;
    }
}

}  // namespace

void TMainForm::rgServoModeClick() {
    const int mode = rgServoMode->ItemIndex();
    if (mode < 0) return;
    tbarSubCommand->SetPosition(BarCentre);
    ApplyModeRule();
    rgServoMode->setEnabled(false);
    try {
        SwitchMode(uint8_t(mode));
    } catch (...) {
        // The line failed under the switch (the error goes to the default
        // report): the controller's mode is unknown, and the group must not
        // stay disabled.
        rgServoMode->SetItemIndex(-1);
        rgServoMode->setEnabled(true);
        throw;
    }
    rgServoMode->setEnabled(true);
}

void TMainForm::SwitchMode(uint8_t mode) {
    // The centring above may just have sent or owed a drive command (or a
    // measurement poll may be out): let them end, or the mode command would
    // be refused unsent.
    SettleDrive();
    Link->SendSetMode(mode);
    QThread::msleep(10);
    const int retries = VerifyMode(*Link);
    if (retries > MaxVerifyRetries) {
        ShowError(QString::fromUtf8("Нет ответа от устройства (10 retry)"));
        rgServoMode->SetItemIndex(-1);
    }
    if (Link->State() == lsTimedOut) {
        ShowError(QString::fromUtf8("Нет ответа от устройства (timeout)"));
        rgServoMode->SetItemIndex(-1);
    }
}

void TMainForm::tbarSubCommandChange() { SendDrive(protocol::DriveOf(tbarSubCommand->Position())); }

void TMainForm::SendDrive(int16_t value) {
    FDriveOwed.reset();
    if (Link->SendSubCommand(value)) {
        FDriveOnWire = value;
        return;
    }
    // Refused by a pending transaction: the newest value goes out when it
    // ends, unless the frame under way carries it already.
    const uint8_t pending = Link->PendingCommand();
    if (pending == 'B' && FDriveOnWire == value) return;
    if (pending != 0) FDriveOwed = value;
}

bool TMainForm::SendOwedDrive() {
    if (!FDriveOwed || Link->State() == lsPending) return false;
    const int16_t value = *std::exchange(FDriveOwed, std::nullopt);
    if (!Link->SendSubCommand(value)) return false;  // the line is gone
    FDriveOnWire = value;
    return true;
}

void TMainForm::SettleDrive() {
    do Link->WaitReply();
    while (SendOwedDrive());
}

void TMainForm::sbtnCenterClick() {
    tbarSubCommand->SetPosition(BarCentre);
    tbarSubCommandChange();
}

void TMainForm::btnSTOPClick() {
    const int mode = rgServoMode->ItemIndex();
    if (mode < 0) return;
    tbarSubCommand->SetPosition(BarCentre);
    ApplyDriveRule(mode);  // the drive group, its caption and "Задать" stay as they are
    FMeasureStopped = 1;
    Timer1->stop();
    SetMeasureSettingsEnabled(true);
    // Watched from here: the zero and the set-mode must both be answered.
    FStopWatched = true;
    FStopDriveFailed = false;
    SettleDrive();
    // The selection may have changed while waiting; never send "no mode".
    const int present = rgServoMode->ItemIndex();
    if (present < 0 || !Link->SendSetMode(uint8_t(present))) FStopWatched = false;
    SetZoomAllowed(true);
}
