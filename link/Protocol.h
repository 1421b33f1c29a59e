// The controller protocol's facts, named once for the link, the chart and the
// window: the servo modes, the drive bar's range and centre, and the command
// table (code, payload bytes, reply data bytes before the status character).
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace protocol {

// The servo mode: the same number on the wire and as the servo-mode group's item.
enum EServoMode : int { smNone = -1, smPwm = 0, smTorque = 1, smVelocity = 2, smPosition = 3 };
constexpr int ServoModeCount = 4;
// The modes as the servo-mode group names them (UTF-8), in wire order.
constexpr std::array<const char*, ServoModeCount> ServoModeNames{
    "ШИМ", "Крутящий момент", "Скорость", "Позиция"};

// The manual drive bar: the value sent for a position is position - BarCentre.
constexpr int BarMin = 0;
constexpr int BarMax = 511;
constexpr int BarCentre = 256;
constexpr int16_t DriveOf(int barPosition) { return int16_t(barPosition - BarCentre); }

constexpr uint8_t ProbeByte = 0xFF;
constexpr uint8_t ProbeAnswer = 'X';
constexpr uint8_t StatusAccepted = '+';
constexpr uint8_t StatusRefused = '-';
// EEPROM banks 0 to BankCount - 1; bank 0 is loaded at reset.
constexpr int BankCount = 5;
// Time-outs in a row after which a controller is taken as silent.
constexpr int SilentAfterTimeouts = 3;

// Reply data of the identification: text up to its status character.
constexpr uint8_t OpenEnded = 255;

struct TCommand {
    uint8_t code;
    uint8_t payload;    // bytes after the length byte
    uint8_t replyData;  // bytes before the status character; OpenEnded for text
};

constexpr std::array<TCommand, 12> Commands{{
    {'I', 0, OpenEnded}, {'M', 1, 0}, {'m', 0, 1}, {'z', 0, 3}, {'p', 0, 3}, {'P', 3, 0},
    {'V', 0, 6},         {'S', 1, 0}, {'L', 1, 0}, {'R', 1, 2}, {'W', 3, 0}, {'B', 2, 0},
}};

constexpr std::optional<TCommand> Command(uint8_t code) {
    for (const TCommand& command : Commands)
        if (command.code == code) return command;
    return std::nullopt;
}

}  // namespace protocol
