#include "ChartCsv.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include <QIODevice>

namespace chartcsv {

namespace {

// Output is gathered in runs of about this size: few writes, little memory.
constexpr size_t FlushAt = size_t(1) << 20;
// The longest a number can print.
constexpr size_t NumberRoom = 32;

class TSink {
public:
    explicit TSink(QIODevice& out) : FOut(out) { FBuffer.resize(FlushAt + NumberRoom); }

    void Text(const std::string& text) {
        for (size_t at = 0; at < text.size();) {
            Reserve(1);
            const size_t n = std::min(text.size() - at, FBuffer.size() - FPos);
            std::copy_n(text.data() + at, n, FBuffer.data() + FPos);
            FPos += n;
            at += n;
        }
    }
    void Char(char c) {
        Reserve(1);
        FBuffer[FPos++] = c;
    }
    // Shortest form that reads back as the same double.
    void Number(double value) {
        Reserve(NumberRoom);
        char* at = FBuffer.data() + FPos;
        FPos += size_t(std::to_chars(at, at + NumberRoom, value).ptr - at);
    }
    void EndRow() {
        Char('\n');
        if (FPos >= FlushAt) Flush();
    }
    bool Flush() {
        if (FOk && FPos > 0) FOk = FOut.write(FBuffer.data(), qint64(FPos)) == qint64(FPos);
        FPos = 0;
        return FOk;
    }
    bool Ok() const { return FOk; }

private:
    void Reserve(size_t room) {
        if (FPos + room > FBuffer.size()) Flush();
    }

    QIODevice& FOut;
    std::vector<char> FBuffer;
    size_t FPos = 0;
    bool FOk = true;
};

void WriteHeader(const TTable& table, TSink& sink) {
    for (const std::string& line : table.comments) {
        sink.Text("# " + line);
        sink.EndRow();
    }
    sink.Text(Cell(table.timeName));
    for (const TColumn& column : table.columns) {
        sink.Char(',');
        sink.Text(Cell(column.name));
    }
    sink.EndRow();
}

// A k-way merge on the keys: each row takes the lowest key still unwritten
// and, from every column whose next key is that one, its value. A key held
// twice by a column gives two rows, so every point is written.
void WriteRows(const TTable& table, TSink& sink) {
    const size_t count = table.columns.size();
    std::vector<int> next(count, 0);
    std::vector<double> keys(count);  // of the next points; a column at its end has none
    std::vector<char> more(count);
    const auto advance = [&](size_t c) {
        const TChartHistory& points = table.columns[c].points;
        more[c] = next[c] < points.Count();
        if (more[c]) keys[c] = points.Key(next[c]);
    };
    for (size_t c = 0; c < count; ++c) advance(c);
    while (sink.Ok()) {
        double time = std::numeric_limits<double>::infinity();
        bool any = false;
        for (size_t c = 0; c < count; ++c) {
            if (!more[c]) continue;
            time = any ? std::min(time, keys[c]) : keys[c];
            any = true;
        }
        if (!any) return;
        sink.Number(time);
        for (size_t c = 0; c < count; ++c) {
            sink.Char(',');
            // Never above the lowest: equal, or not a number (which must not stall the merge).
            if (!more[c] || keys[c] > time) continue;
            sink.Number(table.columns[c].points.Value(next[c]));
            ++next[c];
            advance(c);
        }
        sink.EndRow();
    }
}

}  // namespace

bool Write(const TTable& table, QIODevice& out) {
    TSink sink(out);
    WriteHeader(table, sink);
    WriteRows(table, sink);
    return sink.Flush();
}

std::string Cell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace chartcsv
