// The group " Контроллер  ": the port box, "Подключить" and "Отключить", and
// what the chosen entry stands for (a device, or the built-in simulator). The
// panel owns these controls (named as the window's design names them) and
// their part of the enable rules; connecting itself spans the whole window
// and stays the window's. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QObject>

#include "window/PanelHost.h"

class QComboBox;
class QGroupBox;
class QPushButton;
class QWidget;
class TPortChoice;

class TConnectionPanel : public QObject {
    Q_OBJECT
public:
    TConnectionPanel(QWidget* window, TPanelHost& host, std::function<void()> connectClick,
                     std::function<void()> disconnectClick);
    ~TConnectionPanel() override;

    // The device name of the chosen entry; throws when the simulator does not start.
    std::string CurrentDevice();
    // Connected: only "Отключить"; otherwise the group, the port box and
    // "Подключить" stay usable whatever the window's walk did.
    void ShowConnected(bool connected);

private:
    QGroupBox* FGroup = nullptr;
    QPushButton* FConnect = nullptr;
    QPushButton* FDisconnect = nullptr;
    QComboBox* FPort = nullptr;
    std::unique_ptr<TPortChoice> FChoice;
};
