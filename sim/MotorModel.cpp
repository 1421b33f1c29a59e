#include "sim/MotorModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr int SubSteps = 5;
// A resonance of 200 Hz turns 1.3 radians a millisecond; ten steps a
// millisecond keep the spring's semi-implicit Euler near its true frequency.
constexpr int SpringSubSteps = 10;
// A resonant plant's inertia, half on the motor and half on the load.
constexpr double MotorShare = 0.5;
constexpr double VelocityUnit = 200;  // pulses/s of a 'V' count
constexpr double Span24 = 16777216.0;

double Clamp(double value, double limit) { return std::clamp(value, -limit, limit); }

int16_t ToInt16(double value) {
    return int16_t(std::lround(std::clamp(value, -32768.0, 32767.0)));
}

double Sign(double value) { return value > 0 ? 1.0 : (value < 0 ? -1.0 : 0.0); }

}  // namespace

static_assert(TPlant{}.Friction == TMotorModel::CoulombFriction);

void TMotorModel::SetPlant(const TPlant& plant) {
    if (FPlant.Resonance == 0) {  // the load has moved with the motor so far
        FLoadVelocity = FVelocity;
        FTwist = 0;
    }
    FPlant = plant;
    FNoiseSource = TGaussianNoise(plant.Seed);
    FNoise = 0;
}

void TMotorModel::SetVelocity(double velocity) {
    if (velocity != FVelocity) {
        FLoadVelocity = velocity;
        FTwist = 0;
    }
    FVelocity = velocity;
}

double TMotorModel::VelocitySetpoint(int16_t drive, uint16_t kfWord) {
    // Kf 0 would divide by zero; a controller holds still rather than run away.
    if (kfWord == 0) return 0;
    return double(drive) * 250.0 * 256.0 / double(kfWord);
}

double TMotorModel::PositionError(int32_t target, double position) {
    double d = double(target) - position;
    return d - Span24 * std::floor((d + Span24 / 2) / Span24);
}

void TMotorModel::Step(const TMotorCommand& command) {
    const double duty = Duty(command);
    const double dt = double(TickUs) / 1e6 / SubSteps;
    for (int i = 0; i < SubSteps; ++i) Integrate(FDelay.Pass(duty, FPlant.DelayMs), dt);
    FNoise = FPlant.Noise == 0 ? 0 : FPlant.Noise * VelocityUnit * FNoiseSource.Next();
}

void TMotorModel::Coast(int64_t us) { FPosition += FVelocity * double(us) / 1e6; }

void TMotorModel::ResetRegulator() {
    FIntegral = 0;
    FSetpoint = 0;
    FMismatch = 0;
}

double TMotorModel::Duty(const TMotorCommand& command) {
    const TParamSet& p = command.Params;
    const double velocityLimit = std::abs(double(int16_t(p[prVelocityLimit]))) * 200.0;
    const double torqueLimit = std::min(std::abs(double(int16_t(p[prTorqueLimit]))), FullTorque);
    const double velocity = MeasuredVelocity();
    double torque = 0;
    FSetpoint = 0;
    FMismatch = 0;
    switch (command.Mode) {
    case smPwm:
        return Clamp(command.Drive / FullTorque, 1.0);
    case smTorque:
        torque = Clamp(command.Drive, torqueLimit);
        break;
    case smVelocity:
        FSetpoint = Clamp(VelocitySetpoint(command.Drive, p[prKf]), velocityLimit);
        torque = Regulate(FSetpoint, velocity, p);
        FMismatch = ToInt16((FSetpoint - velocity) / VelocityUnit);
        break;
    case smPosition: {
        const double error = PositionError(command.Target, FPosition);
        FSetpoint = Clamp(error * PositionGain, velocityLimit);
        torque = Regulate(FSetpoint, velocity, p);
        FMismatch = ToInt16(error);
        break;
    }
    default:
        return 0;
    }
    // Back-EMF compensation lets the commanded torque reach the shaft at speed.
    const double backEmf = double(p[prBackEmf]) / 256.0;
    return Clamp(torque / FullTorque + backEmf * velocity / NoLoadSpeed, 1.0);
}

double TMotorModel::Regulate(double setpoint, double velocity, const TParamSet& params) {
    const double torqueLimit =
        std::min(std::abs(double(int16_t(params[prTorqueLimit]))), FullTorque);
    const double error = setpoint - velocity;
    const double kp = params[prKp] / 256.0 * FPlant.KpScale;
    const double ki = params[prKi] / 256.0 * FPlant.KiScale;
    FIntegral = Clamp(FIntegral + ki * error / KiScale, torqueLimit);
    return Clamp(kp * error / KpScale + FIntegral, torqueLimit);
}

double TMotorModel::Torque(double duty) const {
    return FullTorque * (duty - FVelocity / NoLoadSpeed);
}

// Pulses/s^2 a drive unit gives the motor and its load together.
double TMotorModel::Acceleration() const { return StallAccel / FullTorque / FPlant.Inertia; }

// A resonant plant's spring, in drive units: stiff and damped so that the
// two halves ring at the plant's frequency with its damping ratio.
double TMotorModel::SpringTorque() const {
    const double omega = 2 * std::numbers::pi * FPlant.Resonance;
    const double relative = Acceleration() / (MotorShare * (1 - MotorShare));
    return omega * omega / relative * FTwist +
           2 * FPlant.Damping * omega / relative * (FVelocity - FLoadVelocity);
}

void TMotorModel::Integrate(double duty, double seconds) {
    if (FPlant.Resonance == 0) {
        Move(Torque(duty), 1, seconds);
        return;
    }
    const double dt = seconds / SpringSubSteps;
    for (int i = 0; i < SpringSubSteps; ++i) {
        const double spring = SpringTorque();
        Move(Torque(duty) - spring, MotorShare, dt);
        FLoadVelocity += spring * Acceleration() / (1 - MotorShare) * dt;
        FTwist += (FVelocity - FLoadVelocity) * dt;
    }
}

// The motor's own mass under a torque: friction holds it still, slows it and
// never drives it backwards; the viscous drag is taken implicitly, so that
// no drag makes it swing.
void TMotorModel::Move(double torque, double massShare, double seconds) {
    const double friction = FPlant.Friction;
    double net;
    if (FVelocity == 0) {
        if (std::abs(torque) <= friction) return;  // stiction holds it
        net = torque - Sign(torque) * friction;
    } else {
        net = torque - Sign(FVelocity) * friction;
    }
    const double accel = Acceleration() / massShare;
    const double drag = FPlant.Viscous / 1000;  // per pulse/s
    double velocity = (FVelocity + net * accel * seconds) / (1 + drag * accel * seconds);
    if (FVelocity != 0 && Sign(velocity) != Sign(FVelocity) && std::abs(torque) <= friction)
        velocity = 0;
    FPosition += (FVelocity + velocity) / 2 * seconds;
    FVelocity = velocity;
}

}  // namespace sim
