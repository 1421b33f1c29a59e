#include "cli/Summary.h"

#include <algorithm>
#include <array>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

using TRow = std::array<QString, 5>;

// A port that is not its device ("sim") shows the device it got.
QString PortCell(const TDeviceResult& r) {
    const QString port = QString::fromStdString(r.port);
    return r.device.isEmpty() || r.device == port ? port : port + ' ' + r.device;
}

TRow Row(const TDeviceResult& r) {
    return {PortCell(r), r.ident.isEmpty() ? QStringLiteral("-") : r.ident,
            QString::fromLatin1(ExitName(r.code)), r.result,
            r.differences.isEmpty() ? QStringLiteral("-") : r.differences.join(QStringLiteral("; "))};
}

}  // namespace

QByteArray SummaryTable(const std::vector<TDeviceResult>& results) {
    std::vector<TRow> rows{{"PORT", "IDENT", "STATUS", "RESULT", "DIFFERENCES"}};
    for (const TDeviceResult& r : results) rows.push_back(Row(r));
    std::array<qsizetype, 5> width{};
    for (const TRow& row : rows)
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    QString text;
    for (const TRow& row : rows) {
        // Widths count characters, so Cyrillic texts line up too; the last column is not padded.
        for (size_t c = 0; c + 1 < row.size(); ++c) text += row[c].leftJustified(width[c]) + QStringLiteral("  ");
        text += row.back() + '\n';
    }
    return text.toUtf8();
}

QByteArray SummaryJson(const std::vector<TDeviceResult>& results) {
    QJsonArray array;
    for (const TDeviceResult& r : results) {
        QJsonObject row{{"port", QString::fromStdString(r.port)},
                        {"device", r.device},
                        {"ident", r.ident},
                        {"status", QString::fromLatin1(ExitName(r.code))},
                        {"exitCode", int(r.code)},
                        {"result", r.result},
                        {"differences", QJsonArray::fromStringList(r.differences)}};
        if (!r.figures.isEmpty()) row.insert(r.figures.contains("experiments") ? "tuning" : "figures", r.figures);
        array.append(row);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

}  // namespace cli
