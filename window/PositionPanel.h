// The groups " Текущая позиция" and "Позиция "назначение" ": the actual
// position read into its edit, the target read into the target edit, and a
// new target sent as a distance from a fresh reading of the position. The
// panel owns its controls (named as the window's design names them) and its
// handlers. Main thread only.
#pragma once

#include <cstdint>

#include <QObject>

#include "window/PanelHost.h"

class QPushButton;
class QWidget;

class TPositionPanel : public QObject {
    Q_OBJECT
public:
    // Builds both groups and their controls in the window.
    TPositionPanel(QWidget* window, TPanelHost& host);

    QLineEdit* PositionEdit() const { return FPosition; }
    QLineEdit* TargetEdit() const { return FTarget; }
    QPushButton* SetTargetButton() const { return FSetTarget; }

    void btnGetPositionClick();
    void btnGetZClick();
    void btnSetPositionClick();
    void ShowPosition(int32_t position);
    void ShowTarget(int32_t target);

private:
    TPanelHost& FHost;
    QLineEdit* FPosition = nullptr;
    QLineEdit* FTarget = nullptr;
    QPushButton* FSetTarget = nullptr;
};
