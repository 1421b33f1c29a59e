#include "cli/ParamAssign.h"

#include <optional>

#include "link/ParamWords.h"

namespace cli {

namespace {

// "Kp" and "#3" both name Kp (#3); "#1" names #1 (signed).
std::optional<int> IndexOf(const QString& name) {
    for (int i = 0; i < paramwords::ParamCount; ++i) {
        const QString label = paramwords::Label(i);
        const QString shortName = label.section(' ', 0, 0);
        const QString number = QStringLiteral("#%1").arg(i + 1);
        if (name.compare(shortName, Qt::CaseInsensitive) == 0 || name == number) return i;
    }
    return std::nullopt;
}

QString Range(int index) {
    switch (paramwords::Info(index).kind) {
    case paramwords::EKind::Signed: return QStringLiteral("-32768 to 32767");
    case paramwords::EKind::FixedPoint: return QStringLiteral("0 to 255.99609375");
    case paramwords::EKind::Unsigned: return QStringLiteral("0 to 65535");
    }
    return {};
}

}  // namespace

bool AreAssignments(const QStringList& texts) { return !texts.isEmpty() && texts.front().contains('='); }

std::map<int, uint16_t> ParamAssignments(const QStringList& texts, QStringList& errors) {
    std::map<int, uint16_t> words;
    for (const QString& text : texts) {
        const QString name = text.section('=', 0, 0), value = text.section('=', 1);
        const std::optional<int> index = IndexOf(name);
        if (!index) {
            errors << QStringLiteral("'%1': no parameter %2 (Kf, Kp, Ki or #1 to #6)").arg(text, name);
            continue;
        }
        const QString label = paramwords::Label(*index);
        if (words.count(*index)) errors << QStringLiteral("%1 given twice").arg(label);
        const paramwords::TConversion word = paramwords::Convert(*index, value);
        if (word.outcome == paramwords::EOutcome::NotANumber)
            errors << QStringLiteral("%1: '%2' is not a number").arg(label, value);
        else if (word.outcome == paramwords::EOutcome::OutOfRange)
            errors << QStringLiteral("%1 takes %2, not '%3'").arg(label, Range(*index), value);
        else
            words[*index] = word.word;
    }
    return words;
}

}  // namespace cli
