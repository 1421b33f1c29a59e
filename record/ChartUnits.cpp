#include "record/ChartUnits.h"

#include <QRegularExpression>

#include "link/Protocol.h"
#include "record/SamplePlot.h"

namespace chartunits {

TAxisTitles AxisTitles(int servoMode, int velocityUnit) {
    const auto T = [](const char* text) { return QString::fromUtf8(text); };
    if (servoMode != protocol::smVelocity) return {T("килоИмпульсов/сек"), T("Рассогласование (импульсов)")};
    switch (velocityUnit) {
    case sampleplot::vuMmPerMin: return {T("Скорость (мм/мин)"), T("Рассогласование (мм/мин)")};
    case sampleplot::vuKiloPulsesPerSec: return {T("килоИмпульсов/сек"), T("Рассогласование (килоИмпульсов/сек)")};
    case sampleplot::vuPercent: return {T("Ошибка по скорости, %"), std::nullopt};
    default: return {};
    }
}

QString UnitCaption(int velocityUnit) {
    switch (velocityUnit) {
    case sampleplot::vuMmPerMin: return QString::fromUtf8("мм/мин");
    case sampleplot::vuKiloPulsesPerSec: return QString::fromUtf8("кИмп/сек");
    case sampleplot::vuPercent: return QString::fromUtf8("процент");
    default: return {};
    }
}

QString TimeTitle() { return QString::fromUtf8("Время (мсек)"); }

QString AxisUnit(const QString& title) {
    const QString text = title.trimmed();
    const qsizetype open = text.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && text.endsWith(QLatin1Char(')')))
        return text.mid(open + 1, text.size() - open - 2).trimmed();
    const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) return text.mid(comma + 1).trimmed();
    return text;
}

QString ColumnName(int index, const QString& unit) {
    const QString name = QStringLiteral("Series%1").arg(index + 1);
    return unit.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, unit);
}

QString ValueTitle(const QString& column) {
    static const QRegularExpression placeholder(QStringLiteral(R"(^Series\d+(?: \((.*)\))?$)"));
    const QRegularExpressionMatch match = placeholder.match(column);
    return match.hasMatch() ? match.captured(1) : column;
}

}  // namespace chartunits
