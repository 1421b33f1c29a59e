// A DC motor with inertia, friction and back-EMF, driven by the controller's
// regulator. The regulator runs once per 5 ms tick and holds its output for
// the tick (as a real sampled controller does); the mechanics are integrated
// in 1 ms sub-steps. Pure arithmetic, no time source: Step() is one tick.
// The plant (TPlant) sets the load, the friction, the drive's delay, the
// measurement's noise and how strongly the gains act.
#pragma once

#include <cstdint>

#include "sim/ControllerState.h"
#include "sim/DelayLine.h"
#include "sim/GaussianNoise.h"
#include "sim/Plant.h"

namespace sim {

struct TMotorCommand {
    uint8_t Mode = smPwm;
    int16_t Drive = 0;
    int32_t Target = 0;
    TParamSet Params = DefaultParams;
};

class TMotorModel {
public:
    static constexpr int64_t TickUs = 5000;
    static constexpr double NoLoadSpeed = 80000;      // pulses/s at full duty
    static constexpr double StallAccel = 800000;      // pulses/s^2 at full torque
    static constexpr double FullTorque = 256;         // drive units of full torque
    static constexpr double CoulombFriction = 6;      // drive units, the default plant's
    static constexpr double PositionGain = 12;        // 1/s, position error to speed
    static constexpr double KpScale = 64;             // pulses/s of error per drive unit at Kp 1
    static constexpr double KiScale = 640;

    TMotorModel() = default;
    explicit TMotorModel(const TPlant& plant) { SetPlant(plant); }

    // Restarts the noise from the plant's seed; the motor keeps its motion.
    void SetPlant(const TPlant& plant);
    const TPlant& Plant() const { return FPlant; }

    void Step(const TMotorCommand& command);
    // Coasts for a stretch too long to integrate (the motor has settled by then).
    void Coast(int64_t us);
    void ResetRegulator();

    double Position() const { return FPosition; }
    double Velocity() const { return FVelocity; }
    // The velocity the controller measured at the end of the last tick: what
    // 'V' reports and the next tick's regulator works on; Velocity() plus the
    // plant's noise.
    double MeasuredVelocity() const { return FVelocity + FNoise; }
    void SetPosition(double position) { FPosition = position; }
    // A resonant load takes the new velocity too, its spring relaxed.
    void SetVelocity(double velocity);
    // Regulator error of the last tick: pulses in the position mode, the 'V'
    // velocity unit (200 pulses/s) in the velocity mode, 0 otherwise.
    int16_t Mismatch() const { return FMismatch; }

    // Velocity set-point of the velocity mode for a drive value: v x 250 / Kf.
    static double VelocitySetpoint(int16_t drive, uint16_t kfWord);
    // Shortest signed distance between two 24-bit positions.
    static double PositionError(int32_t target, double position);

private:
    double Duty(const TMotorCommand& command);
    double Regulate(double setpoint, double velocity, const TParamSet& params);
    double Torque(double duty) const;
    double Acceleration() const;
    double SpringTorque() const;
    void Integrate(double duty, double seconds);
    void Move(double torque, double massShare, double seconds);

    TPlant FPlant;
    double FPosition = 0;
    double FVelocity = 0;
    double FIntegral = 0;
    double FSetpoint = 0;
    int16_t FMismatch = 0;
    TDelayLine FDelay;
    TGaussianNoise FNoiseSource;
    double FNoise = 0;         // pulses/s, this tick's measurement error
    double FLoadVelocity = 0;  // a resonant plant's load
    double FTwist = 0;         // pulses the motor is ahead of that load
};

}  // namespace sim
