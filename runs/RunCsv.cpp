#include "runs/RunCsv.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include <QFile>
#include <QStringList>

#include "record/RecordFacts.h"

namespace runs {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }
std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

using namespace recordfacts;

// The histories keep values as floats and keys as float offsets within
// blocks: beyond these a value read would not write back as it was read.
constexpr double MaxKey = 1e15;  // ms, some 30,000 years

// The parts of text between separators (one part more than separators).
std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (size_t from = 0;;) {
        const size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) return parts;
        from = at + 1;
    }
}

std::optional<double> Number(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// The cells of a header line, quoted cells unquoted.
QStringList HeaderCells(const QString& line) {
    QStringList cells{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') cells.back() += c, ++i;
        else if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) cells << QString();
        else cells.back() += c;
    }
    return cells;
}

class TReader {
public:
    TCsvRead Read(const QByteArray& bytes);

private:
    bool Comment(const QString& text);
    bool Header(const QString& text);
    bool Row(std::string_view text);
    TCsvRead Refuse(const QString& reason) { return {std::nullopt, FLine, reason}; }
    bool Fault(const QString& reason) {
        FFault = reason;
        return false;
    }

    TRun FRun;
    int FLine = 0;
    int FColumns = 0;
    double FLastKey = -INFINITY;
    QString FFault;
};

bool TReader::Comment(const QString& text) {
    const auto after = [&text](const char* key) { return text.mid(U(key).size()).trimmed(); };
    if (text.startsWith(U(ModeKey))) FRun.servoMode = after(ModeKey);
    else if (text.startsWith(U(UnitKey))) FRun.velocityUnit = after(UnitKey);
    else if (text.startsWith(U(PeriodKey))) FRun.periodMs = after(PeriodKey).toInt();
    else if (text.startsWith(U(DepthKey))) FRun.historyDepth = after(DepthKey).toInt();
    else if (text.startsWith(U(ControllerKey))) FRun.controller = after(ControllerKey);
    else if (text.startsWith(U(StartKey))) FRun.started = QDateTime::fromString(after(StartKey), Qt::ISODate);
    else if (text == U(AbortedLine)) FRun.aborted = true;
    else if (text.startsWith(U(RegulatorKey))) FRun.regulatorReset = after(RegulatorKey) == U(RegulatorReset);
    else if (text.startsWith(U(MissedKey))) FRun.ticksMissed = after(MissedKey).toInt();
    else if (text.startsWith(U(NameKey))) FRun.name = after(NameKey);
    else if (text.startsWith(U(ParamsKey))) {
        const QStringList words = after(ParamsKey).split(' ', Qt::SkipEmptyParts);
        paramfile::TWords params{};
        bool ok = words.size() == int(params.size());
        for (size_t i = 0; ok && i < params.size(); ++i) {
            const uint word = words[qsizetype(i)].toUInt(&ok);
            ok = ok && word <= 65535;
            params[i] = uint16_t(word);
        }
        if (!ok) return Fault(U("ожидалось шесть слов от 0 до 65535"));
        FRun.params = params;
    }
    return true;  // other lines tell what the reader does not need
}

bool TReader::Header(const QString& text) {
    const QStringList cells = HeaderCells(text);
    if (cells.size() < 2 || cells.size() > SeriesCount + 1)
        return Fault(U("ожидался заголовок: время и от 1 до 3 рядов"));
    // Written back, such a header would read as a comment line.
    if (cells[0].startsWith('#')) return Fault(U("заголовок начинается с #"));
    FRun.timeName = cells[0];
    FColumns = int(cells.size()) - 1;
    for (int i = 0; i < FColumns; ++i) FRun.seriesNames[size_t(i)] = cells[i + 1];
    return true;
}

bool TReader::Row(std::string_view text) {
    const std::vector<std::string_view> cells = Split(text, ',');  // numbers only: no quotes
    if (cells.size() != size_t(FColumns) + 1) return Fault(U("ожидалось ячеек: %1").arg(FColumns + 1));
    const auto key = Number(cells[0]);
    if (!key) return Fault(U("время не число"));
    if (std::fabs(*key) > MaxKey) return Fault(U("время вне допустимого диапазона"));
    if (*key < FLastKey) return Fault(U("время меньше, чем в строке выше"));
    FLastKey = *key;
    for (int i = 0; i < FColumns; ++i) {
        if (cells[size_t(i) + 1].empty()) continue;
        const auto value = Number(cells[size_t(i) + 1]);
        if (!value) return Fault(U("ряд %1 не число").arg(i + 1));
        if (std::fabs(*value) > std::numeric_limits<float>::max())
            return Fault(U("ряд %1: число вне допустимого диапазона").arg(i + 1));
        FRun.series[size_t(i)].Add(*key, *value);
    }
    return true;
}

TCsvRead TReader::Read(const QByteArray& bytes) {
    if (bytes.size() > MaxCsvBytes) return Refuse(U("файл больше 256 МиБ"));
    bool header = false;
    for (std::string_view line : Split(std::string_view(bytes.data(), size_t(bytes.size())), '\n')) {
        ++FLine;
        if (line.ends_with('\r')) line.remove_suffix(1);
        const auto text = [](std::string_view part) { return QString::fromUtf8(part.data(), qsizetype(part.size())); };
        bool ok = true;
        if (line.empty()) continue;
        if (line.starts_with("# ") && !header) ok = Comment(text(line.substr(2)));
        else if (!header) ok = header = Header(text(line));
        else ok = Row(line);
        if (!ok) return Refuse(FFault);
    }
    FLine = 0;
    if (!header) return Refuse(U("нет заголовка"));
    FRun.Analyse();
    return {std::move(FRun), 0, {}};
}

}  // namespace

chartcsv::TTable ExportTable(const TRun& run, const QDateTime& exportedAt) {
    chartcsv::TTable table;
    table.comments = Lines({run.servoMode, run.velocityUnit, run.periodMs, run.historyDepth, run.controller});
    table.comments.push_back(ExportLine(exportedAt));
    table.timeName = Utf8(run.timeName);
    for (int i = 0; i < SeriesCount; ++i)
        table.columns.push_back({Utf8(run.seriesNames[size_t(i)]), run.series[size_t(i)]});
    return table;
}

chartcsv::TTable Table(const TRun& run, const std::optional<QDateTime>& exportedAt) {
    chartcsv::TTable table = ExportTable(run, exportedAt.value_or(QDateTime()));
    if (!exportedAt) table.comments.pop_back();
    table.comments.push_back(StartLine(run.started));
    if (run.params) table.comments.push_back(ParamsLine(*run.params));
    if (run.aborted) table.comments.push_back(AbortedLine);
    if (run.regulatorReset)
        table.comments.push_back(std::string(RegulatorKey) + (*run.regulatorReset ? RegulatorReset : RegulatorKept));
    if (run.ticksMissed) table.comments.push_back(MissedKey + std::to_string(*run.ticksMissed));
    if (!run.name.isEmpty()) table.comments.push_back(NameKey + run.name.toStdString());
    return table;
}

TCsvRead ReadCsv(const QByteArray& bytes) { return TReader().Read(bytes); }

TCsvRead LoadCsv(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {std::nullopt, 0, file.errorString()};
    return ReadCsv(file.read(MaxCsvBytes + 1));
}

QString RefusalMessage(const QString& path, const TCsvRead& read) {
    if (read.line == 0) return U("Файл %1 не принят: %2").arg(path, read.reason);
    return U("Файл %1 не принят: строка %2: %3").arg(path).arg(read.line).arg(read.reason);
}

}  // namespace runs
