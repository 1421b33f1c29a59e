#include "ChartUnits.h"

#include <qcustomplot.h>

namespace chartunits {

QString AxisUnit(const QString& title) {
    const QString text = title.trimmed();
    const qsizetype open = text.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && text.endsWith(QLatin1Char(')')))
        return text.mid(open + 1, text.size() - open - 2).trimmed();
    const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) return text.mid(comma + 1).trimmed();
    return text;
}

QString SeriesUnit(const QCPGraph& series) {
    return series.valueAxis() ? AxisUnit(series.valueAxis()->label()) : QString();
}

}  // namespace chartunits
