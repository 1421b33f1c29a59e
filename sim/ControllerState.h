// The simulated controller's visible state, as the test hooks set and read it.
#pragma once

#include <array>
#include <cstdint>

namespace sim {

constexpr int ParamCount = 6;
constexpr int BankCount = 5;

using TParamSet = std::array<uint16_t, ParamCount>;

enum EServoMode : uint8_t { smPwm = 0, smTorque = 1, smVelocity = 2, smPosition = 3 };

// Parameter indices on the wire (parameter #(i+1)).
enum EParam : int {
    prVelocityLimit = 0,  // in units of 200 pulses per second; its magnitude counts
    prKf = 1,             // unsigned 8.8: velocity feedback gain
    prKp = 2,             // unsigned 8.8: proportional gain
    prKi = 3,             // unsigned 8.8: integral gain
    prTorqueLimit = 4,    // drive units (256 = stall torque); magnitude, at most 256
    prBackEmf = 5,        // unsigned, back-EMF compensation in 1/256
};

// Factory defaults, written into every bank at power-up: Kf 1.0, Kp 1.0,
// Ki 0.25, 60000 pulses/s, torque limit 200 of 256, full back-EMF compensation.
constexpr TParamSet DefaultParams = {300, 256, 256, 64, 200, 256};

struct TControllerState {
    uint8_t Mode = smPwm;
    int32_t Position = 0;   // actual position in pulses (24-bit on the wire)
    int32_t Target = 0;     // target position in pulses
    int16_t Drive = 0;      // manual drive value of 'B'
    uint16_t Tick = 0;      // 5 ms tick counter, wraps at 65536
    double Velocity = 0;    // pulses per second
    TParamSet Params = DefaultParams;
    std::array<TParamSet, BankCount> Banks = {DefaultParams, DefaultParams, DefaultParams,
                                              DefaultParams, DefaultParams};
};

}  // namespace sim
