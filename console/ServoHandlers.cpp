// Servo mode, positions and the manual drive command. Main thread only.
#include <QCoreApplication>
#include <QLineEdit>
#include <QThread>
#include <QToolButton>

#include "MainUnit.h"
#include "NumberText.h"
#include "OwnEnabled.h"
#include "RadioGroup.h"
#include "TrackBar.h"

namespace {

constexpr int BarCentre = 256;
constexpr int PositionMode = 3;
constexpr int VelocityMode = 2;
constexpr int MaxVerifyRetries = 10;

bool Failed(TLinkState state) { return state == lsRefused || state == lsUnparsed; }

// Asks for the mode until the query has ended with an answer, the link has
// timed out, or more than ten passes began after a failed reply. Returns the
// number of those passes.
int VerifyMode(TControllerLink& link) {
    int retries = 0;
    for (bool first = true;; first = false) {
        if (Failed(link.FLinkState)) ++retries;
        link.SendGetMode();
        // The first pass only looks; later ones sleep until something arrives
        // (a pending transaction always ends, by reply or by the reply timer).
        if (first) QCoreApplication::processEvents();
        else link.WaitPass();
        link.CheckLine();  // the line went away while waiting: nothing will answer
        const TLinkState state = link.FLinkState;
        const bool answered = link.FCmdFrame[0] == 'm' && state != lsPending && state != lsUnparsed;
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
    // The centring above may just have sent a drive command (or a measurement
    // poll may be out): let it end, or the mode command would be refused unsent.
    Link->WaitReply();
    Link->SendSetMode(mode);
    QThread::msleep(10);
    const int retries = VerifyMode(*Link);
    if (retries > MaxVerifyRetries) {
        ShowError(QString::fromUtf8("Нет ответа от устройства (10 retry)"));
        rgServoMode->SetItemIndex(-1);
    }
    if (Link->FLinkState == lsTimedOut) {
        ShowError(QString::fromUtf8("Нет ответа от устройства (timeout)"));
        rgServoMode->SetItemIndex(-1);
    }
}

void TMainForm::btnGetPositionClick() { Link->SendGetPosition(); }

void TMainForm::btnGetZClick() { Link->SendGetTarget(); }

void TMainForm::btnSetPositionClick() {
    const auto distance = numtext::StrToInt(edtPosTo->text());
    if (!distance) {
        MarkInputError(edtPosTo);
        return;
    }
    Link->SendGetPosition();
    Link->WaitReply();
    // A 32-bit sum that wraps; the frame carries its low 24 bits.
    Link->SendSetTarget(int32_t(uint32_t(*distance) + uint32_t(Link->FPosition)));
}

void TMainForm::tbarSubCommandChange() {
    Link->SendSubCommand(int16_t(tbarSubCommand->Position() - BarCentre));
}

void TMainForm::sbtnCenterClick() {
    tbarSubCommand->SetPosition(BarCentre);
    tbarSubCommandChange();
}

void TMainForm::btnSTOPClick() {
    const int mode = rgServoMode->ItemIndex();
    if (mode < 0) return;
    tbarSubCommand->SetPosition(BarCentre);
    tbarSubCommand->setEnabled(mode != PositionMode);
    sbtnCenter->setEnabled(OwnEnabled(tbarSubCommand));
    FMeasureStopped = 1;
    Timer1->stop();
    edtHistoryDepth->setEnabled(true);
    edtTimerPeriod->setEnabled(true);
    rgVelocityRaz->setEnabled(mode == VelocityMode);
    edtPulsesPerMilimeter->setEnabled(OwnEnabled(rgVelocityRaz));
    Link->WaitReply();
    // The selection may have changed while waiting; never send "no mode".
    const int present = rgServoMode->ItemIndex();
    if (present >= 0) Link->SendSetMode(uint8_t(present));
    SetZoomAllowed(true);
}
