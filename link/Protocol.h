// The controller protocol's facts, named once for the link, the chart and the
// window: the servo modes, the drive bar's range and centre, and the command
// table (code, payload bytes, reply data bytes before the status character).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace protocol {

// The servo mode: the same number on the wire and as the servo-mode group's item.
enum EServoMode : int { smNone = -1, smPwm = 0, smTorque = 1, smVelocity = 2, smPosition = 3 };
constexpr int ServoModeCount = 4;
// The modes as the servo-mode group names them (UTF-8), in wire order.
constexpr std::array<const char*, ServoModeCount> ServoModeNames{
    "ШИМ", "Крутящий момент", "Скорость", "Позиция"};
// The mode a record's facts name; smNone for a name that is none of them.
constexpr EServoMode ModeNamed(std::string_view utf8) {
    for (int mode = 0; mode < ServoModeCount; ++mode)
        if (utf8 == ServoModeNames[size_t(mode)]) return EServoMode(mode);
    return smNone;
}

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

// The command codes, one byte each, as they go on the wire.
constexpr uint8_t cmdIdentify = 'I';
constexpr uint8_t cmdSetMode = 'M';
constexpr uint8_t cmdGetMode = 'm';
constexpr uint8_t cmdGetTarget = 'z';
constexpr uint8_t cmdGetPosition = 'p';
constexpr uint8_t cmdSetTarget = 'P';
constexpr uint8_t cmdGetSample = 'V';
constexpr uint8_t cmdSaveBank = 'S';
constexpr uint8_t cmdLoadBank = 'L';
constexpr uint8_t cmdReadParam = 'R';
constexpr uint8_t cmdWriteParam = 'W';
constexpr uint8_t cmdDrive = 'B';

struct TCommand {
    uint8_t code;
    uint8_t payload;    // bytes after the length byte
    uint8_t replyData;  // bytes before the status character; OpenEnded for text
};

constexpr std::array<TCommand, 12> Commands{{
    {cmdIdentify, 0, OpenEnded}, {cmdSetMode, 1, 0},    {cmdGetMode, 0, 1},   {cmdGetTarget, 0, 3},
    {cmdGetPosition, 0, 3},      {cmdSetTarget, 3, 0},  {cmdGetSample, 0, 6}, {cmdSaveBank, 1, 0},
    {cmdLoadBank, 1, 0},         {cmdReadParam, 1, 2},  {cmdWriteParam, 3, 0}, {cmdDrive, 2, 0},
}};

constexpr std::optional<TCommand> Command(uint8_t code) {
    for (const TCommand& command : Commands)
        if (command.code == code) return command;
    return std::nullopt;
}

}  // namespace protocol
