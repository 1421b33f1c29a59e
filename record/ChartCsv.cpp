#include "record/ChartCsv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <future>
#include <limits>
#include <optional>
#include <system_error>

#include <QIODevice>

namespace chartcsv {

namespace {

// Points of each series formatted in memory at a time, per run.
constexpr int RunRows = 1 << 16;
// The longest a number can print.
constexpr size_t NumberRoom = 32;

// Text gathered in memory: a run of rows is formatted whole, then written
// with one call. Its buffer is kept from run to run.
class TText {
public:
    void Clear() { FPos = 0; }
    void Text(const std::string& text) {
        std::copy_n(text.data(), text.size(), Room(text.size()));
        FPos += text.size();
    }
    void Char(char c) {
        *Room(1) = c;
        ++FPos;
    }
    // Shortest form that reads back as the value held: the chart keeps
    // values as floats, whose widened doubles would print digits that were
    // never measured (30.4 as 30.399999618530273).
    void Number(double value) {
        char* at = Room(NumberRoom);
        const auto narrow = float(value);
        const auto end = double(narrow) == value ? std::to_chars(at, at + NumberRoom, narrow).ptr
                                                 : std::to_chars(at, at + NumberRoom, value).ptr;
        FPos += size_t(end - at);
    }
    bool WriteTo(QIODevice& out) const {
        return FPos == 0 || out.write(FBuffer.data(), qint64(FPos)) == qint64(FPos);
    }

private:
    char* Room(size_t bytes) {
        if (FPos + bytes > FBuffer.size()) FBuffer.resize(std::max(FBuffer.size() * 2, FPos + bytes));
        return FBuffer.data() + FPos;
    }

    std::vector<char> FBuffer;
    size_t FPos = 0;
};

void WriteHeader(const TTable& table, TText& text) {
    for (const std::string& line : table.comments) {
        text.Text("# " + line);
        text.Char('\n');
    }
    text.Text(Cell(table.timeName));
    for (const TColumn& column : table.columns) {
        text.Char(',');
        text.Text(Cell(column.name));
    }
    text.Char('\n');
}

// The points of each column that one run of rows writes: [begin, end).
struct TRun {
    std::vector<int> begin, end;
};

bool KeysInOrder(const TTable& table) {
    return std::all_of(table.columns.begin(), table.columns.end(),
                       [](const TColumn& column) { return column.points.KeysInOrder(); });
}

// Where the run from `begin` ends in each column, cut before `cut`.
std::vector<int> Ends(const TTable& table, const std::vector<int>& begin, double cut, int rows) {
    std::vector<int> end(begin.size());
    for (size_t c = 0; c < begin.size(); ++c) {
        const TChartHistory& points = table.columns[c].points;
        end[c] = points.LowerIndex(cut, int(std::min<int64_t>(int64_t(begin[c]) + rows, points.Count())));
    }
    return end;
}

// Runs of at most about `rows` points of each column, cut at a key: every
// point below it goes before the cut, so the runs' rows, one after the
// other, are the rows of the whole. The cut is the lowest key that lies
// `rows` points on in any column, so no run holds more of a column than
// that, however the columns' keys are spread; a key held more often than
// that goes whole into one run. Keys out of order (a history's never are,
// but nothing else stops a caller) make one run.
std::vector<TRun> Runs(const TTable& table, int rows) {
    const size_t count = table.columns.size();
    std::vector<TRun> runs;
    std::vector<int> at(count, 0);
    const bool cuttable = KeysInOrder(table);
    while (cuttable) {
        std::optional<double> cut;
        for (size_t c = 0; c < count; ++c)
            if (int64_t(at[c]) + rows < table.columns[c].points.Count()) {
                const double key = table.columns[c].points.Key(at[c] + rows);
                cut = cut ? std::min(*cut, key) : key;
            }
        if (!cut || std::isinf(*cut)) break;  // the rest fits one run, or is all at the end
        std::vector<int> end = Ends(table, at, *cut, rows);
        if (end == at) end = Ends(table, at, std::nextafter(*cut, std::numeric_limits<double>::infinity()), rows);
        runs.push_back({at, end});
        at = std::move(end);
    }
    std::vector<int> end(count);
    for (size_t c = 0; c < count; ++c) end[c] = table.columns[c].points.Count();
    runs.push_back({at, end});
    return runs;
}

// A k-way merge on the keys: each row takes the lowest key still unwritten
// and, from every column whose next key is that one, its value. A key held
// twice by a column gives two rows, so every point is written.
void WriteRows(const TTable& table, const TRun& run, TText& text) {
    const size_t count = table.columns.size();
    std::vector<int> next = run.begin;
    std::vector<double> keys(count);  // of the next points; a column at its end has none
    std::vector<char> more(count);
    const auto advance = [&](size_t c) {
        more[c] = next[c] < run.end[c];
        if (more[c]) keys[c] = table.columns[c].points.Key(next[c]);
    };
    for (size_t c = 0; c < count; ++c) advance(c);
    for (;;) {
        double time = std::numeric_limits<double>::infinity();
        bool any = false;
        for (size_t c = 0; c < count; ++c) {
            if (!more[c]) continue;
            time = any ? std::min(time, keys[c]) : keys[c];
            any = true;
        }
        if (!any) return;
        text.Number(time);
        for (size_t c = 0; c < count; ++c) {
            text.Char(',');
            // Never above the lowest: equal, or not a number (which must not stall the merge).
            if (!more[c] || keys[c] > time) continue;
            text.Number(table.columns[c].points.Value(next[c]));
            ++next[c];
            advance(c);
        }
        text.Char('\n');
    }
}

// Formats a run on a thread of its own; on this thread when none can be had.
std::future<void> FormatAside(const TTable& table, const TRun& run, TText& text) {
    const auto format = [&table, &run, &text] {
        text.Clear();
        WriteRows(table, run, text);
    };
    try {
        return std::async(std::launch::async, format);
    } catch (const std::system_error&) {
        format();
        return {};
    }
}

}  // namespace

// Runs go two at a time: the second is formatted on a helper thread while
// this one formats and writes the first, so the formatting, which is most of
// the work, takes about half the time where a second core is free.
bool WriteInRuns(const TTable& table, QIODevice& out, int runRows) {
    TText mine, theirs;
    WriteHeader(table, mine);
    if (!mine.WriteTo(out)) return false;
    const std::vector<TRun> runs = Runs(table, std::max(runRows, 1));
    for (size_t r = 0; r < runs.size(); r += 2) {
        const bool paired = r + 1 < runs.size();
        std::future<void> aside = paired ? FormatAside(table, runs[r + 1], theirs) : std::future<void>();
        mine.Clear();
        WriteRows(table, runs[r], mine);
        const bool written = mine.WriteTo(out);
        if (aside.valid()) aside.get();  // `theirs` is in use until then
        if (!written || (paired && !theirs.WriteTo(out))) return false;
    }
    return true;
}

bool Write(const TTable& table, QIODevice& out) { return WriteInRuns(table, out, RunRows); }

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
