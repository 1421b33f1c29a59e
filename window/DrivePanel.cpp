#include "window/DrivePanel.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QSignalBlocker>
#include <QThread>
#include <QToolButton>

#include "link/ControllerLink.h"
#include "link/Protocol.h"
#include "window/LayoutParts.h"
#include "window/OwnEnabled.h"
#include "window/RadioGroup.h"
#include "window/TrackBar.h"

using namespace layoutparts;
using protocol::BarCentre;

namespace {

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
        const bool answered = link.LastCommand() == protocol::cmdGetMode && state != lsPending && state != lsUnparsed;
        if (answered || retries > MaxVerifyRetries || state == lsTimedOut) return retries;
    }
}

}  // namespace

TDrivePanel::TDrivePanel(QWidget* window, TPanelHost& host, std::function<void()> modeRule)
    : QObject(window), FHost(host), FModeRule(std::move(modeRule)),
      FLine([&host]() -> TControllerLink& { return host.PanelLink(); }) {
    QStringList modes;
    for (const char* name : protocol::ServoModeNames) modes << T(name);
    FMode = Named(Place<TRadioGroup>(window, {130, 8, 146, 97}, T(" Серво-режим "), modes), "rgServoMode");
    connect(FMode, &TRadioGroup::Click, this, [this] { FHost.RunHandler([this] { rgServoModeClick(); }); });
}

void TDrivePanel::BuildDrive(QWidget* window) {
    FDriveGroup = Named(Group(window, " Управление ", {383, 112, 396, 65}), "gboxSubCommand");
    FCentre = Named(Place<QToolButton>(FDriveGroup, {8, 22, 52, 30}), "sbtnCenter");
    FCentre->setText(T("НОЛЬ"));
    FCentre->setFocusPolicy(Qt::NoFocus);
    FCentre->setEnabled(false);
    FBar = Named(Place<TTrackBar>(FDriveGroup, {66, 16, 322, 42}), "tbarSubCommand");
    FBar->setRange(protocol::BarMin, protocol::BarMax);
    FBar->setValue(BarCentre);
    FBar->setTickInterval(16);
    FBar->setTickPosition(QSlider::TicksAbove);
    FBar->setSingleStep(1);
    FBar->setPageStep(2);
    FBar->setEnabled(false);
    FHost.BindClick(FCentre, [this] { sbtnCenterClick(); });
    connect(FBar, &TTrackBar::Change, this, [this] { FHost.RunHandler([this] { tbarSubCommandChange(); }); });
}

int TDrivePanel::Mode() const { return FMode->ItemIndex(); }

QString TDrivePanel::ModeText(int mode) const { return FMode->ItemText(mode); }

void TDrivePanel::ShowMode(int mode) {
    FMode->SetClickAttached(false);
    FMode->SetItemIndex(mode);
    FMode->SetClickAttached(true);
}

int TDrivePanel::BarPosition() const { return FBar->Position(); }

bool TDrivePanel::DriveAllowed() const { return OwnEnabled(FBar); }

bool TDrivePanel::StepBar(int delta) {
    const int position = FBar->Position() + delta;
    if (!DriveAllowed() || position < FBar->minimum() || position > FBar->maximum()) return false;
    FBar->SetPosition(position);
    return true;
}

void TDrivePanel::CentreBar() { FBar->SetPosition(BarCentre); }

void TDrivePanel::CentreBarUnsent() {
    const QSignalBlocker quiet(FBar);
    FBar->SetPosition(BarCentre);
    FLine.Forget();
}

void TDrivePanel::SetBar(int position) { FBar->SetPosition(position); }

void TDrivePanel::ApplyDriveRule(int mode) {
    FBar->setEnabled(mode != protocol::smPosition);
    FCentre->setEnabled(OwnEnabled(FBar));
}

bool TDrivePanel::ApplyModeRule(int mode) {
    ApplyDriveRule(mode);
    const bool drive = DriveAllowed();
    FDriveGroup->setEnabled(drive);
    if (!drive)
        FDriveGroup->setTitle(T(" В режиме \"Позиция\" недоступно "));
    else if (mode < 0)
        FDriveGroup->setTitle(T(" Управление "));  // no mode: as at start
    else
        FDriveGroup->setTitle(T(" Управление (%1) ").arg(ModeText(mode)));
    return drive;
}

void TDrivePanel::rgServoModeClick() {
    const int mode = FMode->ItemIndex();
    if (mode < 0) return;
    CentreBar();
    FModeRule();
    FMode->setEnabled(false);
    try {
        SwitchMode(uint8_t(mode));
    } catch (...) {
        // The line failed under the switch (the error goes to the default
        // report): the controller's mode is unknown, and the group must not
        // stay disabled.
        FMode->SetItemIndex(-1);
        FMode->setEnabled(true);
        throw;
    }
    FMode->setEnabled(true);
}

void TDrivePanel::SwitchMode(uint8_t mode) {
    // The centring above may just have sent or owed a drive command (or a
    // measurement poll may be out): let them end, or the mode command would
    // be refused unsent.
    FLine.Settle();
    TControllerLink& link = FHost.PanelLink();
    link.SendSetMode(mode);
    QThread::msleep(10);
    const int retries = VerifyMode(link);
    if (retries > MaxVerifyRetries) {
        FHost.ShowError(T("Нет ответа от устройства (10 retry)"));
        FMode->SetItemIndex(-1);
    }
    if (link.State() == lsTimedOut) {
        FHost.ShowError(T("Нет ответа от устройства (timeout)"));
        FMode->SetItemIndex(-1);
    }
}

void TDrivePanel::tbarSubCommandChange() { FLine.Send(protocol::DriveOf(FBar->Position())); }

void TDrivePanel::sbtnCenterClick() {
    CentreBar();
    tbarSubCommandChange();
}

