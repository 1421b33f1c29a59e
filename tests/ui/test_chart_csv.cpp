// The CSV text of the chart's points: rows merged on time with empty cells,
// header cells quoted where needed, every number reading back as the same
// double, a refused write reported; and the unit read from an axis title.
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include "record/ChartCsv.h"
#include "record/ChartHistory.h"
#include "record/ChartUnits.h"
#include "record/FileSaveJob.h"
#include "tests/ui/CsvReader.h"

using chartcsv::TColumn;
using chartcsv::TTable;

namespace {

TColumn Column(std::string name, std::initializer_list<std::pair<double, double>> points) {
    TColumn column{std::move(name), {}};
    for (auto [key, value] : points) column.points.Add(key, value);
    return column;
}

QByteArray Written(const TTable& table) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(chartcsv::Write(table, buffer));
    return buffer.data();
}

QByteArray WrittenInRuns(const TTable& table, int runRows) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(chartcsv::WriteInRuns(table, buffer, runRows));
    return buffer.data();
}

// Accepts the first `left` writes, then refuses.
class TFailingDevice : public QIODevice {
public:
    explicit TFailingDevice(int left) : FLeft(left) { open(QIODevice::WriteOnly); }
    int Writes = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override {
        ++Writes;
        return FLeft-- > 0 ? size : -1;
    }

private:
    int FLeft;
};

}  // namespace

TEST(ChartCsv, RowsMergeOnTimeWithEmptyCells) {
    struct TCase {
        const char* name;
        std::vector<TColumn> columns;
        const char* rows;
    };
    const TCase cases[] = {
        {"same keys", {Column("a", {{0, 1}, {5, 2}}), Column("b", {{0, 3}, {5, 4}})}, "0,1,3\n5,2,4\n"},
        {"one column empty", {Column("a", {{0, 1.5}, {5, -2}}), Column("b", {}), Column("c", {})},
         "0,1.5,,\n5,-2,,\n"},
        {"interleaved", {Column("a", {{0, 1}, {10, 2}}), Column("b", {{5, 7}, {10, 8}, {15, 9}})},
         "0,1,\n5,,7\n10,2,8\n15,,9\n"},
        {"a key twice", {Column("a", {{1, 4}, {1, 5}, {2, 6}}), Column("b", {{1, 7}})}, "1,4,7\n1,5,\n2,6,\n"},
        {"no points", {Column("a", {})}, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTable table{{}, "t", c.columns};
        QByteArray expected = "t";
        for (const TColumn& column : c.columns) expected += "," + QByteArray::fromStdString(column.name);
        EXPECT_EQ(Written(table), expected + "\n" + c.rows);
        // Cut into runs of rows, a cut on a key held twice or by one column only.
        for (int runRows : {1, 2, 3})
            EXPECT_EQ(WrittenInRuns(table, runRows), expected + "\n" + c.rows) << "runs of " << runRows;
    }
}

// Cut into runs of any length (run pairs go to a helper thread), the text is
// that of one run, whatever the columns' keys: their own keys, gaps, keys
// held twice or more often than a run is long, a shorter but denser column,
// columns wholly before or after the others, keys out of order.
TEST(ChartCsv, RowsWrittenInRunsAreTheRowsOfTheWhole) {
    struct TCase {
        const char* name;
        std::function<void(TTable&)> fill;
    };
    const TCase cases[] = {
        {"own keys, gaps, keys twice, shorter column",
         [](TTable& t) {
             for (int i = 0; i < 20000; ++i) {
                 t.columns[0].points.Add(i, i % 7 == 0 ? std::nan("") : i * 0.25);
                 if (i % 97 == 0) t.columns[0].points.Add(i, -i);
                 if (i % 3 == 0) t.columns[1].points.Add(i, i / 3.0);
                 if (i < 12345) t.columns[2].points.Add(i + 0.5, 1e-300 * i);
             }
         }},
        {"a key held 300 times, a denser shorter column",
         [](TTable& t) {
             for (int i = 0; i < 3000; ++i) t.columns[0].points.Add(i < 300 ? 5 : i, i);
             for (int i = 0; i < 2000; ++i) t.columns[1].points.Add(1000 + i * 0.01, i);
         }},
        {"columns wholly before and after",
         [](TTable& t) {
             for (int i = 0; i < 1000; ++i) t.columns[0].points.Add(i, i);
             for (int i = 0; i < 500; ++i) t.columns[1].points.Add(-1000 + i, i);
             for (int i = 0; i < 500; ++i) t.columns[2].points.Add(5000 + i, i);
         }},
        {"keys out of order, a key not a number",
         [](TTable& t) {
             for (int i = 0; i < 1000; ++i) t.columns[0].points.Add(i, i);
             for (int i = 0; i < 400; ++i) t.columns[1].points.Add(i == 200 ? std::nan("") : 3 * i, i);
             for (int i = 0; i < 400; ++i) t.columns[2].points.Add(i == 100 ? 50 : 2 * i, i);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTable table{{"c"}, "t", {{"a", {}}, {"b", {}}, {"c", {}}}};
        c.fill(table);
        size_t points = 0;
        for (const TColumn& column : table.columns) points += size_t(column.points.Count());
        const QByteArray whole = WrittenInRuns(table, 1 << 30);
        ASSERT_GE(whole.count('\n'), qsizetype(points / 3));
        for (int runRows : {1, 7, 96, 4096}) EXPECT_TRUE(WrittenInRuns(table, runRows) == whole) << runRows;
    }
}

TEST(ChartCsv, AWriteRefusedInALaterRunIsReported) {
    TTable table{{}, "t", {{"a", {}}}};
    for (int i = 0; i < 1000; ++i) table.columns[0].points.Add(i, i);
    for (int accepted : {1, 2, 3}) {
        TFailingDevice device(accepted);
        EXPECT_FALSE(chartcsv::WriteInRuns(table, device, 100)) << accepted;
        EXPECT_EQ(device.Writes, accepted + 1) << "no write after the refused one";
    }
}

TEST(ChartCsv, CommentsAndHeaderCellsAsCsvNeedsThem) {
    const TTable table{{"Режим: Скорость", "b"},
                       "Время (мсек)",
                       {Column("Series1 (%)", {{1, 2}}), Column("x, y", {}), Column("say \"hi\"", {})}};
    EXPECT_EQ(QString::fromUtf8(Written(table)),
              QString::fromUtf8("# Режим: Скорость\n# b\nВремя (мсек),Series1 (%),\"x, y\",\"say \"\"hi\"\"\"\n1,2,,\n"));
}

// Each number is written in the shortest text that reads back as the value
// the chart holds: a value held in single precision as the float it is (30.4,
// not the 17 digits of its widened double), whatever its size, and through
// many flushes of the output.
TEST(ChartCsv, NumbersReadBackExactly) {
    const double awkward[] = {0.1, -0.0, 1.0 / 3.0, 1e-30, 3.4e38, 123456.789, -2.5e-7, 16777217.0, 7.0};
    TColumn column{"v", {}};
    for (size_t i = 0; i < 200'000; ++i)
        column.points.Add(double(i) * 5.0 + (i % 3 == 0 ? 0.25 : 0),
                          awkward[i % std::size(awkward)] * (i % 7 == 0 ? -1 : 1));
    const TChartHistory& held = column.points;
    const testsupport::TCsvFile file = testsupport::ParseCsv(Written({{}, "t", {column}}));
    ASSERT_TRUE(file.parsed);
    ASSERT_EQ(file.rows.size(), size_t(held.Count()));
    for (size_t i = 0; i < file.rows.size(); ++i) {
        ASSERT_EQ(file.rows[i].size(), 2u) << i;
        EXPECT_EQ(file.rows[i][0], held.Key(int(i))) << i;
        EXPECT_EQ(std::signbit(*file.rows[i][1]), std::signbit(held.Value(int(i)))) << i;
        ASSERT_EQ(float(*file.rows[i][1]), float(held.Value(int(i)))) << i;
    }
    column.points.Clear();
    column.points.Add(1, 30.4);
    EXPECT_EQ(Written({{}, "t", {column}}), QByteArray("t,v\n1,30.4\n"));
}

TEST(ChartCsv, ARefusedWriteIsReported) {
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    const TTable table{{"c"}, "t", {Column("a", {{1, 3}, {2, 4}})}};
    EXPECT_FALSE(chartcsv::Write(table, readOnly));
}

// A copy of a history trimmed at its front holds the points held, no more.
TEST(ChartCsv, ATrimmedHistoryWritesItsPointsOnly) {
    TColumn column{"x", {}};
    for (int i = 0; i < 100; ++i) column.points.Add(i * 5.0, i * 0.5);
    for (int i = 0; i < 40; ++i) column.points.RemoveFirst();
    const TTable table{{}, "t", {column}};
    const testsupport::TCsvFile file = testsupport::ParseCsv(Written(table));
    ASSERT_EQ(file.rows.size(), 60u);
    EXPECT_EQ(file.rows.front()[0], 200.0);
    EXPECT_EQ(file.rows.back()[1], 49.5);
}

TEST(FileSaveJob, AWriterThatRunsOutOfMemoryFailsAndLeavesNoFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("out.csv");
    const QString error = TFileSaveJob::WriteFile(path, [](QIODevice& out) -> bool {
        out.write("partial");
        throw std::bad_alloc();
    });
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(ChartUnits, TheUnitOfAnAxisTitle) {
    const std::pair<const char*, const char*> cases[] = {
        {"Скорость (мм/мин)", "мм/мин"},
        {"Рассогласование (килоИмпульсов/сек)", "килоИмпульсов/сек"},
        {"Рассогласование (импульсов)", "импульсов"},
        {"килоИмпульсов/сек", "килоИмпульсов/сек"},
        {"Ошибка по скорости, %", "%"},
        {"рассогласование", "рассогласование"},
        {"", ""},
    };
    for (const auto& [title, unit] : cases)
        EXPECT_EQ(chartunits::AxisUnit(QString::fromUtf8(title)), QString::fromUtf8(unit)) << title;
}

// A disk that fills while the file is written (the process' file size limit
// stands in for it): the write fails with the system's reason and leaves no
// file, also when the end of the content still sat in the file's buffer.
TEST(ChartCsv, AFullDiskIsAFailedWriteThatLeavesNoFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("points.csv"));
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = TFileSaveJob::WriteFile(
        path, [](QIODevice& out) { return out.write(QByteArray(10 * 1024, 'x')) == 10 * 1024; });
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}
