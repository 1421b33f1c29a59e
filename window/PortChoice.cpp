#include "window/PortChoice.h"

#include <stdexcept>
#include <utility>

#include <QComboBox>

#include "sim/PlantSources.h"
#include "sim/PtySimulator.h"

TPortChoice::TPortChoice(const QComboBox& box) : FBox(box) {}

TPortChoice::~TPortChoice() = default;

std::string TPortChoice::CurrentDevice() {
    const QString entry = FBox.currentText();
    return entry == QString::fromUtf8(SimulatorEntry) ? SimulatorDevice() : entry.toStdString();
}

std::string TPortChoice::SimulatorDevice() {
    // A simulator whose line went away would leave "Подключить" failing on a
    // vanished device for the rest of the run.
    if (!FSimulator || !FSimulator->Running()) {
        auto simulator =
            std::make_unique<sim::TPtySimulator>(sim::TSimOptions{.Plant = sim::PlantFromEnvironment()});
        std::string error;
        if (!simulator->Start(&error))
            throw std::runtime_error("Симулятор не запущен: " + error);
        FSimulator = std::move(simulator);
    }
    return FSimulator->Path();
}
