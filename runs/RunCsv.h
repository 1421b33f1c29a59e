// A run as the CSV file the chart exports: the chart's comment lines with
// the run's start, its six parameter words and whether it was aborted added,
// the header and one row per sample time. Any CSV the chart wrote reads back
// as a run (its parameters then not known); a damaged file is refused with
// the number of the line at fault.
#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "record/ChartCsv.h"
#include "runs/Run.h"

namespace runs {

// Larger files are refused unread: a run at the deepest history is about 40 MB.
constexpr qint64 MaxCsvBytes = qint64(256) << 20;

// With an export time, its line follows the five facts, as the chart's export has it.
chartcsv::TTable Table(const TRun& run, const std::optional<QDateTime>& exportedAt = std::nullopt);
// What the chart's "Сохранить данные (CSV)…" writes of the same points: the
// five facts and the export time, without the run's own lines.
chartcsv::TTable ExportTable(const TRun& run, const QDateTime& exportedAt);

struct TCsvRead {
    std::optional<TRun> run;
    int line = 0;     // the line at fault (1 the first), 0 for the file as a whole
    QString reason;
};

// Reads the text of a file; the run's figures are worked out.
TCsvRead ReadCsv(const QByteArray& bytes);
TCsvRead LoadCsv(const QString& path);
// "Файл <path> не принят: строка <line>: <reason>"
QString RefusalMessage(const QString& path, const TCsvRead& read);

}  // namespace runs
