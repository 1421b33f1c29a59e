#include "sim/MotorModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr int SubSteps = 5;
constexpr double Span24 = 16777216.0;

double Clamp(double value, double limit) { return std::clamp(value, -limit, limit); }

int16_t ToInt16(double value) {
    return int16_t(std::lround(std::clamp(value, -32768.0, 32767.0)));
}

double Sign(double value) { return value > 0 ? 1.0 : (value < 0 ? -1.0 : 0.0); }

}  // namespace

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
    for (int i = 0; i < SubSteps; ++i) Integrate(duty, dt);
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
        torque = Regulate(FSetpoint, p);
        FMismatch = ToInt16((FSetpoint - FVelocity) / 200.0);
        break;
    case smPosition: {
        const double error = PositionError(command.Target, FPosition);
        FSetpoint = Clamp(error * PositionGain, velocityLimit);
        torque = Regulate(FSetpoint, p);
        FMismatch = ToInt16(error);
        break;
    }
    default:
        return 0;
    }
    // Back-EMF compensation lets the commanded torque reach the shaft at speed.
    const double backEmf = double(p[prBackEmf]) / 256.0;
    return Clamp(torque / FullTorque + backEmf * FVelocity / NoLoadSpeed, 1.0);
}

double TMotorModel::Regulate(double setpoint, const TParamSet& params) {
    const double torqueLimit =
        std::min(std::abs(double(int16_t(params[prTorqueLimit]))), FullTorque);
    const double error = setpoint - FVelocity;
    const double kp = params[prKp] / 256.0;
    const double ki = params[prKi] / 256.0;
    FIntegral = Clamp(FIntegral + ki * error / KiScale, torqueLimit);
    return Clamp(kp * error / KpScale + FIntegral, torqueLimit);
}

double TMotorModel::Torque(double duty) const {
    return FullTorque * (duty - FVelocity / NoLoadSpeed);
}

void TMotorModel::Integrate(double duty, double seconds) {
    const double torque = Torque(duty);
    double net;
    if (FVelocity == 0) {
        if (std::abs(torque) <= CoulombFriction) return;  // stiction holds it
        net = torque - Sign(torque) * CoulombFriction;
    } else {
        net = torque - Sign(FVelocity) * CoulombFriction;
    }
    double velocity = FVelocity + net * (StallAccel / FullTorque) * seconds;
    // Friction stops the motor; it does not drive it backwards.
    if (FVelocity != 0 && Sign(velocity) != Sign(FVelocity) && std::abs(torque) <= CoulombFriction)
        velocity = 0;
    FPosition += (FVelocity + velocity) / 2 * seconds;
    FVelocity = velocity;
}

}  // namespace sim
