// The motor's load and its quirks, as the simulator's motor model takes them:
// a zoo of plants to prove a tuning on. The default plant is the motor the
// simulator has always had. Text form: "KEY=VALUE[,KEY=VALUE...]", e.g.
// "inertia=2,delay=5"; keys left out keep their defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

struct TPlant {
    static constexpr uint32_t MaxDelayMs = 20;

    double Inertia = 1;       // times the motor's own (divides its acceleration)
    double Friction = 6;      // Coulomb friction, drive units (256: stall torque)
    double Viscous = 0;       // drag, drive units per 1000 pulses/s
    uint32_t DelayMs = 0;     // between the regulator's output and the shaft
    double Noise = 0;         // velocity measurement noise, SD in 'V' counts (200 pulses/s)
    uint32_t Seed = 1;        // of the noise
    double Resonance = 0;     // Hz of a load on a spring; 0: a rigid load
    double Damping = 0.05;    // damping ratio of that spring
    double KpScale = 1;       // how strongly the Kp word acts
    double KiScale = 1;       // how strongly the Ki word acts

    bool operator==(const TPlant&) const = default;
};

// Nothing, with a reason naming the key and its range, when the text is bad.
// An empty text is the default plant.
std::optional<TPlant> ParsePlant(const std::string& text, std::string* error = nullptr);
// The keys that differ from the default plant's, in ParsePlant's form; empty
// for the default plant.
std::string PlantText(const TPlant& plant);

}  // namespace sim
