// What a record was measured under, as the comment lines of its CSV text say
// it: each key written once here, for the chart's export, a run's file and
// servo-cli's records, and read back by the run reader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <QDateTime>
#include <QString>

namespace recordfacts {

inline constexpr const char* ModeKey = "Серво-режим: ";
inline constexpr const char* UnitKey = "Единица скорости: ";
inline constexpr const char* PeriodKey = "Период измерений, мс: ";
inline constexpr const char* DepthKey = "Глубина истории: ";
inline constexpr const char* ControllerKey = "Контроллер: ";
inline constexpr const char* ExportKey = "Время экспорта: ";
inline constexpr const char* StartKey = "Начало: ";
inline constexpr const char* ParamsKey = "Параметры (слова #1-#6): ";
inline constexpr const char* AbortedLine = "Прогон прерван";
inline constexpr const char* RegulatorKey = "Регулятор перед опытом: ";
inline constexpr const char* RegulatorReset = "сброшен";
inline constexpr const char* RegulatorKept = "сохранён";
inline constexpr const char* MissedKey = "Пропущено тактов контроллера: ";
inline constexpr const char* NameKey = "Прогон: ";

struct TFacts {
    QString servoMode;     // the mode's name as the window shows it
    QString velocityUnit;  // the unit's caption
    int periodMs = 0;
    int historyDepth = 0;
    QString controller;    // its identification, as the window shows it
};

// The five facts, one line each, UTF-8.
std::vector<std::string> Lines(const TFacts& facts);
// "Время экспорта: " with the time and its offset from UTC.
std::string ExportLine(const QDateTime& at);
// "Начало: " with the time to the millisecond.
std::string StartLine(const QDateTime& started);
// "Параметры (слова #1-#6): " with the six words.
std::string ParamsLine(const std::array<uint16_t, 6>& words);

}  // namespace recordfacts
