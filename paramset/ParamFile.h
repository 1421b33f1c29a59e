// The six regulator parameters kept as a file: UTF-8 JSON with a format tag
// and version, the controller's identification, the time, the servo mode and
// for each parameter its number, label, word and the value as the window
// shows it. The word is what counts; the value is for people and must agree
// with it. A file is read whole and refused, naming the field, at its first
// fault. Qt Core only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "link/ParamWords.h"

namespace paramfile {

inline constexpr const char* FormatTag = "servo-params";
constexpr int FormatVersion = 1;
constexpr qint64 MaxFileBytes = qint64(1) << 20;

using TWords = std::array<uint16_t, paramwords::ParamCount>;

struct TParamSet {
    TWords words{};
    QString controller;  // the identification, as the controller sent it
    QDateTime time;      // when the set was taken; written in UTC
    int servoMode = -1;  // -1: not known
};

// Why a file was refused: the field (e.g. "params[2].word") and what is wrong with it.
struct TRefusal {
    QString field;
    QString reason;
};

struct TReadResult {
    std::optional<TParamSet> set;
    TRefusal refusal;  // when there is no set
};

QByteArray ToJson(const TParamSet& set);
TReadResult FromJson(const QByteArray& bytes);

// Written through a temporary file renamed into place: an existing file is
// either kept whole or replaced whole. The error text, or none.
std::optional<QString> Save(const QString& path, const TParamSet& set);
TReadResult Load(const QString& path);

// "Файл <path> не принят: <field>: <reason>"
QString RefusalMessage(const QString& path, const TRefusal& refusal);

}  // namespace paramfile
