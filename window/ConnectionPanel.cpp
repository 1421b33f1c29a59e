#include "window/ConnectionPanel.h"

#include <QGroupBox>
#include <QPushButton>

#include "window/LayoutParts.h"
#include "window/PortBox.h"
#include "window/PortChoice.h"

using namespace layoutparts;

TConnectionPanel::TConnectionPanel(QWidget* window, TPanelHost& host, std::function<void()> connectClick,
                                   std::function<void()> disconnectClick)
    : QObject(window) {
    FGroup = Named(Group(window, " Контроллер  ", {4, 8, 122, 97}), "gboxController");
    FConnect = Named(Button(FGroup, "Подключить", {8, 44, 106, 23}), "btnConnect");
    FDisconnect = Named(Button(FGroup, "Отключить", {8, 69, 106, 23}), "btnDisconnect");
    FDisconnect->setEnabled(false);
    auto* box = Named(Place<TPortBox>(FGroup, {8, 18, 106, 22}, T(TPortChoice::SimulatorEntry)), "cbPort");
    FPort = box;
    // The fixed ports, the devices found now, the simulator and "Другой
    // порт…"; the first is chosen at start.
    box->Refresh();
    box->setCurrentIndex(0);
    FChoice = std::make_unique<TPortChoice>(*box);
    host.BindClick(FConnect, std::move(connectClick));
    host.BindClick(FDisconnect, std::move(disconnectClick));
}

TConnectionPanel::~TConnectionPanel() = default;

std::string TConnectionPanel::CurrentDevice() { return FChoice->CurrentDevice(); }

void TConnectionPanel::ShowConnected(bool connected) {
    if (!connected) FGroup->setEnabled(true);
    FConnect->setEnabled(!connected);
    FDisconnect->setEnabled(connected);
    FPort->setEnabled(!connected);
}
