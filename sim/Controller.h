// The simulated controller's behaviour: executes well-formed commands against
// its working parameters, EEPROM banks and motor model, which it keeps in
// step with a clock (one motor tick per 5 ms of that clock). Not thread-safe:
// the owner serialises access.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sim/Clock.h"
#include "sim/ControllerState.h"
#include "sim/MotorModel.h"

namespace sim {

// Text of the 'I' reply, before its status character. The reply is
// open-ended and ends at the first "+" or "-", so the text holds neither.
constexpr std::string_view IdentText = "SRV2 servo ctl v1.4";

class TController {
public:
    explicit TController(const TClock& clock);

    // Runs one command whose payload has the command's size; returns the reply
    // (data bytes and status character).
    std::vector<uint8_t> Execute(uint8_t code, std::span<const uint8_t> payload);

    // Brings the motor model up to the clock.
    void Sync();
    TControllerState State();
    void SetState(const TControllerState& state);
    // The motor's plant; a new one takes effect from the clock's present time.
    const TPlant& Plant() const { return FMotor.Plant(); }
    void SetPlant(const TPlant& plant);

    // A refusal of the command: its usual data bytes (zeros), then "-", so the
    // status lands where the console looks for it.
    static std::vector<uint8_t> Refusal(uint8_t code);

private:
    std::vector<uint8_t> Identify() const;
    std::vector<uint8_t> SetMode(uint8_t mode);
    std::vector<uint8_t> Sample() const;
    std::vector<uint8_t> SaveBank(uint8_t bank);
    std::vector<uint8_t> LoadBank(uint8_t bank);
    std::vector<uint8_t> ReadParam(uint8_t index) const;
    std::vector<uint8_t> WriteParam(std::span<const uint8_t> payload);
    TMotorCommand Command() const;

    const TClock& FClock;
    int64_t FSyncedUs = 0;
    TMotorModel FMotor;
    uint8_t FMode = smPwm;
    int32_t FTarget = 0;
    int16_t FDrive = 0;
    uint16_t FTick = 0;
    TParamSet FParams = DefaultParams;
    std::array<TParamSet, BankCount> FBanks;
};

}  // namespace sim
