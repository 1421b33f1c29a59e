#include "ChartCsv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <future>
#include <limits>
#include <system_error>

#include <QIODevice>

namespace chartcsv {

namespace {

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
    // Shortest form that reads back as the same double.
    void Number(double value) {
        char* at = Room(NumberRoom);
        FPos += size_t(std::to_chars(at, at + NumberRoom, value).ptr - at);
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

// Runs of about `rows` rows each, cut at keys of the longest column: keys
// never decrease in a history, so every point below a cut key goes before
// it and the runs' rows, one after the other, are the rows of the whole.
std::vector<TRun> Runs(const TTable& table, int rows) {
    const size_t count = table.columns.size();
    TRun run{std::vector<int>(count, 0), {}};
    std::vector<TRun> runs;
    if (count == 0) return runs;
    const TChartHistory& longest =
        std::max_element(table.columns.begin(), table.columns.end(), [](const TColumn& a, const TColumn& b) {
            return a.points.Count() < b.points.Count();
        })->points;
    for (int at = rows; at < longest.Count(); at += rows) {
        const double cut = longest.Key(at);
        if (std::isnan(cut)) break;  // not a history's key: the rest is one run
        run.end.resize(count);
        for (size_t c = 0; c < count; ++c)
            run.end[c] = std::max(run.begin[c], table.columns[c].points.LowerIndex(cut, run.begin[c] + rows));
        runs.push_back(run);
        run.begin = run.end;
    }
    run.end.resize(count);
    for (size_t c = 0; c < count; ++c) run.end[c] = table.columns[c].points.Count();
    runs.push_back(run);
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
