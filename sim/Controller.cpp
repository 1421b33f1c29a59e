#include "sim/Controller.h"

#include <cmath>

#include "sim/CommandTable.h"

namespace sim {

namespace {

// Beyond a minute behind (a wall clock after a long idle spell) the motor has
// long settled: integrate one minute and let it coast through the rest.
constexpr int64_t MaxCatchUpTicks = 12000;
constexpr double Span24 = 16777216.0;

int32_t SignExtend24(uint32_t value) {
    value &= 0xFFFFFF;
    return (value & 0x800000) ? int32_t(value | 0xFF000000u) : int32_t(value);
}

int32_t Round24(double position) {
    return SignExtend24(uint32_t(int64_t(std::llround(position))));
}

void PutS24(std::vector<uint8_t>& out, int32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value >> 16));
}

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

int16_t VelocityWord(double pulsesPerSecond) {
    double units = std::round(pulsesPerSecond / 200.0);
    if (units > 32767) return 32767;
    if (units < -32768) return -32768;
    return int16_t(units);
}

std::vector<uint8_t> Accepted() { return {StatusAccepted}; }

}  // namespace

TController::TController(const TClock& clock) : FClock(clock), FSyncedUs(clock.NowUs()) {
    FBanks.fill(DefaultParams);
    FParams = FBanks[0];  // bank 0 is loaded at reset
}

std::vector<uint8_t> TController::Refusal(uint8_t code) {
    auto shape = CommandShape(code);
    std::vector<uint8_t> reply(shape ? shape->ReplyData : 0, 0);
    reply.push_back(StatusRefused);
    return reply;
}

void TController::Sync() {
    const int64_t ticks = (FClock.NowUs() - FSyncedUs) / TMotorModel::TickUs;
    if (ticks <= 0) return;
    const int64_t stepped = std::min(ticks, MaxCatchUpTicks);
    const TMotorCommand command = Command();
    for (int64_t i = 0; i < stepped; ++i) FMotor.Step(command);
    FMotor.Coast((ticks - stepped) * TMotorModel::TickUs);
    // The position counter is 24 bits wide; keep the model in its range.
    const double p = FMotor.Position();
    if (std::abs(p) >= Span24 / 2)
        FMotor.SetPosition(p - Span24 * std::floor((p + Span24 / 2) / Span24));
    FTick = uint16_t(FTick + uint64_t(ticks));
    FSyncedUs += ticks * TMotorModel::TickUs;
}

TMotorCommand TController::Command() const {
    return TMotorCommand{FMode, FDrive, FTarget, FParams};
}

std::vector<uint8_t> TController::Execute(uint8_t code, std::span<const uint8_t> payload) {
    Sync();
    std::vector<uint8_t> reply;
    switch (code) {
    case 'I': return Identify();
    case 'M': return SetMode(payload[0]);
    case 'm': return {FMode, StatusAccepted};
    case 'z':
        PutS24(reply, FTarget);
        break;
    case 'p':
        PutS24(reply, Round24(FMotor.Position()));
        break;
    case 'P':
        FTarget = SignExtend24(uint32_t(payload[0]) | uint32_t(payload[1]) << 8 | uint32_t(payload[2]) << 16);
        break;
    case 'V': return Sample();
    case 'S': return SaveBank(payload[0]);
    case 'L': return LoadBank(payload[0]);
    case 'R': return ReadParam(payload[0]);
    case 'W': return WriteParam(payload);
    case 'B':
        FDrive = int16_t(payload[0] | payload[1] << 8);
        break;
    default: return Refusal(code);
    }
    reply.push_back(StatusAccepted);
    return reply;
}

std::vector<uint8_t> TController::Identify() const {
    std::vector<uint8_t> reply(IdentText.begin(), IdentText.end());
    reply.push_back(StatusAccepted);
    return reply;
}

// Setting a mode, even the present one, is the controller's stop and reset:
// the manual drive drops to 0, the regulator starts afresh, and the position
// mode holds the shaft where it is.
std::vector<uint8_t> TController::SetMode(uint8_t mode) {
    if (mode > smPosition) return Refusal('M');
    FMode = mode;
    FDrive = 0;
    FTarget = Round24(FMotor.Position());
    FMotor.ResetRegulator();
    return Accepted();
}

std::vector<uint8_t> TController::Sample() const {
    std::vector<uint8_t> reply;
    PutU16(reply, FTick);
    PutU16(reply, uint16_t(VelocityWord(FMotor.MeasuredVelocity())));
    PutU16(reply, uint16_t(FMotor.Mismatch()));
    reply.push_back(StatusAccepted);
    return reply;
}

std::vector<uint8_t> TController::SaveBank(uint8_t bank) {
    if (bank >= BankCount) return Refusal('S');
    FBanks[bank] = FParams;
    return Accepted();
}

std::vector<uint8_t> TController::LoadBank(uint8_t bank) {
    if (bank >= BankCount) return Refusal('L');
    FParams = FBanks[bank];
    return Accepted();
}

std::vector<uint8_t> TController::ReadParam(uint8_t index) const {
    if (index >= ParamCount) return Refusal('R');
    std::vector<uint8_t> reply;
    PutU16(reply, FParams[index]);
    reply.push_back(StatusAccepted);
    return reply;
}

std::vector<uint8_t> TController::WriteParam(std::span<const uint8_t> payload) {
    if (payload[0] >= ParamCount) return Refusal('W');
    FParams[payload[0]] = uint16_t(payload[1] | payload[2] << 8);
    return Accepted();
}

void TController::SetPlant(const TPlant& plant) {
    Sync();
    FMotor.SetPlant(plant);
}

TControllerState TController::State() {
    Sync();
    TControllerState state;
    state.Mode = FMode;
    state.Position = Round24(FMotor.Position());
    state.Target = FTarget;
    state.Drive = FDrive;
    state.Tick = FTick;
    state.Velocity = FMotor.Velocity();
    state.Params = FParams;
    state.Banks = FBanks;
    return state;
}

void TController::SetState(const TControllerState& state) {
    Sync();
    if (state.Mode != FMode) FMotor.ResetRegulator();
    FMode = state.Mode;
    FMotor.SetPosition(state.Position);
    FMotor.SetVelocity(state.Velocity);
    FTarget = SignExtend24(uint32_t(state.Target));
    FDrive = state.Drive;
    FTick = state.Tick;
    FParams = state.Params;
    FBanks = state.Banks;
}

}  // namespace sim
