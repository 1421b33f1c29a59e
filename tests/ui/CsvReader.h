// Reads back what the chart's CSV export wrote: the comment lines, the
// header cells and the rows, each number parsed to the double it names.
#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testsupport {

struct TCsvFile {
    QStringList comments;  // without the "# "
    QStringList header;
    std::vector<std::vector<std::optional<double>>> rows;  // none: an empty cell
    bool parsed = true;    // every cell was a whole number text
};

// Splits one line at commas outside quotes; quotes are taken off and doubled ones halved.
inline QStringList CsvCells(const QString& line) {
    QStringList cells{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
            if (quoted && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                cells.back() += c;
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == QLatin1Char(',') && !quoted) {
            cells << QString();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

inline std::optional<double> CsvNumber(const std::string& text, bool& ok) {
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    ok = ok && error == std::errc() && end == text.data() + text.size();
    return value;
}

inline TCsvFile ParseCsv(const QByteArray& bytes) {
    TCsvFile file;
    const QList<QByteArray> lines = bytes.split('\n');
    bool headerSeen = false;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QByteArray& line = lines[n];
        if (n == lines.size() - 1) {
            file.parsed = file.parsed && line.isEmpty();  // the last line ends too
            break;
        }
        if (!headerSeen && line.startsWith("# ")) {
            file.comments << QString::fromUtf8(line.mid(2));
        } else if (!headerSeen) {
            file.header = CsvCells(QString::fromUtf8(line));
            headerSeen = true;
        } else {
            std::vector<std::optional<double>> row;
            for (const QByteArray& cell : line.split(','))
                row.push_back(CsvNumber(cell.toStdString(), file.parsed));
            file.rows.push_back(row);
        }
    }
    return file;
}

}  // namespace testsupport
