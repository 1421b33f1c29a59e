#include "record/RecordFacts.h"

#include <QStringList>

namespace recordfacts {

namespace {

std::string Line(const char* key, const QString& value) { return (QString::fromUtf8(key) + value).toStdString(); }

}  // namespace

std::vector<std::string> Lines(const TFacts& facts) {
    return {Line(ModeKey, facts.servoMode), Line(UnitKey, facts.velocityUnit),
            Line(PeriodKey, QString::number(facts.periodMs)), Line(DepthKey, QString::number(facts.historyDepth)),
            Line(ControllerKey, facts.controller)};
}

std::string ExportLine(const QDateTime& at) {
    return Line(ExportKey, at.toOffsetFromUtc(at.offsetFromUtc()).toString(Qt::ISODate));
}

std::string StartLine(const QDateTime& started) { return Line(StartKey, started.toString(Qt::ISODateWithMs)); }

std::string ParamsLine(const std::array<uint16_t, 6>& words) {
    QStringList texts;
    for (uint16_t word : words) texts << QString::number(word);
    return Line(ParamsKey, texts.join(' '));
}

}  // namespace recordfacts
