// The group " Серво-режим " and the group " Управление ": the servo mode
// switched and verified, the bar and "НОЛЬ" that drive the motor by hand, and
// the drive value owed while another transaction is under way (only the
// newest, sent as soon as it ends). The panel owns these controls (named as
// the window's design names them), the bar's part of the mode rule and its
// handlers. Main thread only.
#pragma once

#include <functional>

#include <QObject>
#include <QString>

#include "measure/DriveLine.h"
#include "window/PanelHost.h"

class QGroupBox;
class QToolButton;
class QWidget;
class TRadioGroup;
class TTrackBar;

class TDrivePanel : public QObject {
    Q_OBJECT
public:
    // Builds the mode group; the drive group comes later in the window's
    // order (BuildDrive). `modeRule` runs the window's mode rule, which spans
    // other panels, after the user picked a mode.
    TDrivePanel(QWidget* window, TPanelHost& host, std::function<void()> modeRule);
    void BuildDrive(QWidget* window);

    // The selected mode (-1: none) and its text.
    int Mode() const;
    QString ModeText(int mode) const;
    // A mode the controller reported: shown without switching anything.
    void ShowMode(int mode);

    // The bar's position and whether the bar may be moved at all.
    int BarPosition() const;
    bool DriveAllowed() const;
    // One step of the bar by a key; false (nothing done) at an end or while disabled.
    bool StepBar(int delta);
    // Back to the centre; a move sends the zero.
    void CentreBar();
    // The line is gone: the bar shows the centre, nothing is sent or owed.
    void CentreBarUnsent();
    // To a position (clamped to the bar); a move sends its value.
    void SetBar(int position);

    // The bar and "НОЛЬ": enabled exactly outside the position mode.
    void ApplyDriveRule(int mode);
    // The drive group and its caption by the mode; true while the bar may drive.
    bool ApplyModeRule(int mode);

    void rgServoModeClick();
    void tbarSubCommandChange();
    void sbtnCenterClick();

    // The drive value as the controller gets it, with the value owed.
    measure::TDriveLine& Line() { return FLine; }

private:
    void SwitchMode(uint8_t mode);  // steps of rgServoModeClick after the group is disabled

    TPanelHost& FHost;
    std::function<void()> FModeRule;
    TRadioGroup* FMode = nullptr;
    QGroupBox* FDriveGroup = nullptr;
    QToolButton* FCentre = nullptr;
    TTrackBar* FBar = nullptr;
    measure::TDriveLine FLine;
};
