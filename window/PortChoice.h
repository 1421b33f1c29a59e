// What the chosen entry of the port box stands for: a device the port opens
// by that name, or, for the simulator entry, the pty of the built-in
// simulated controller, started on first use and kept for the rest of the run
// (started anew should its line have gone away).
// Main thread only.
#pragma once

#include <memory>
#include <string>

class QComboBox;
namespace sim { class TPtySimulator; }

class TPortChoice {
public:
    static inline const char* SimulatorEntry = "Симулятор";

    explicit TPortChoice(const QComboBox& box);
    ~TPortChoice();  // stops the simulator
    TPortChoice(const TPortChoice&) = delete;
    TPortChoice& operator=(const TPortChoice&) = delete;

    // The device name of the current entry; throws when the simulator does not start.
    std::string CurrentDevice();
    // The built-in simulator once started, else null.
    sim::TPtySimulator* Simulator() const { return FSimulator.get(); }

private:
    std::string SimulatorDevice();

    const QComboBox& FBox;
    std::unique_ptr<sim::TPtySimulator> FSimulator;
};
