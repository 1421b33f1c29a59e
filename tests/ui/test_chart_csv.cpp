// The CSV text of the chart's points: rows merged on time with empty cells,
// header cells quoted where needed, every number reading back as the same
// double, a refused write reported; and the unit read from an axis title.
#include <cmath>
#include <limits>

#include <QBuffer>
#include <gtest/gtest.h>

#include "ChartCsv.h"
#include "ChartHistory.h"
#include "ChartUnits.h"
#include "CsvReader.h"

using chartcsv::TColumn;
using chartcsv::TTable;

namespace {

QByteArray Written(const TTable& table) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(chartcsv::Write(table, buffer));
    return buffer.data();
}

}  // namespace

TEST(ChartCsv, RowsMergeOnTimeWithEmptyCells) {
    struct TCase {
        const char* name;
        std::vector<TColumn> columns;
        const char* rows;
    };
    const TCase cases[] = {
        {"same keys", {{"a", {0, 5}, {1, 2}}, {"b", {0, 5}, {3, 4}}}, "0,1,3\n5,2,4\n"},
        {"one column empty", {{"a", {0, 5}, {1.5, -2}}, {"b", {}, {}}, {"c", {}, {}}}, "0,1.5,,\n5,-2,,\n"},
        {"interleaved", {{"a", {0, 10}, {1, 2}}, {"b", {5, 10, 15}, {7, 8, 9}}}, "0,1,\n5,,7\n10,2,8\n15,,9\n"},
        {"a key twice", {{"a", {1, 1, 2}, {4, 5, 6}}, {"b", {1}, {7}}}, "1,4,7\n1,5,\n2,6,\n"},
        {"no points", {{"a", {}, {}}}, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTable table{{}, "t", c.columns};
        QByteArray expected = "t";
        for (const TColumn& column : c.columns) expected += "," + QByteArray::fromStdString(column.name);
        EXPECT_EQ(Written(table), expected + "\n" + c.rows);
    }
}

TEST(ChartCsv, CommentsAndHeaderCellsAsCsvNeedsThem) {
    const TTable table{{"Режим: Скорость", "b"},
                       "Время (мсек)",
                       {{"Series1 (%)", {1}, {2}}, {"x, y", {}, {}}, {"say \"hi\"", {}, {}}}};
    EXPECT_EQ(QString::fromUtf8(Written(table)),
              QString::fromUtf8("# Режим: Скорость\n# b\nВремя (мсек),Series1 (%),\"x, y\",\"say \"\"hi\"\"\"\n1,2,,\n"));
}

// Each number is written in the shortest text that reads back as the same
// double, whatever its size, and through many flushes of the output.
TEST(ChartCsv, NumbersReadBackExactly) {
    const double awkward[] = {0.1, -0.0, 1.0 / 3.0, 1e-300, 5e-324, 1.7976931348623157e308,
                              123456789.123456789, -2.5e-7, 16777217.0, float(0.1)};
    TColumn column{"v", {}, {}};
    for (size_t i = 0; i < 200'000; ++i) {
        column.keys.push_back(double(i) * 5.0 + (i % 3 == 0 ? 0.25 : 0));
        column.values.push_back(awkward[i % std::size(awkward)] * (i % 7 == 0 ? -1 : 1));
    }
    const testsupport::TCsvFile file = testsupport::ParseCsv(Written({{}, "t", {column}}));
    ASSERT_TRUE(file.parsed);
    ASSERT_EQ(file.rows.size(), column.keys.size());
    for (size_t i = 0; i < file.rows.size(); ++i) {
        ASSERT_EQ(file.rows[i].size(), 2u) << i;
        EXPECT_EQ(file.rows[i][0], column.keys[i]) << i;
        EXPECT_EQ(std::signbit(*file.rows[i][1]), std::signbit(column.values[i])) << i;
        ASSERT_EQ(file.rows[i][1], column.values[i]) << i;
    }
}

TEST(ChartCsv, ARefusedWriteIsReported) {
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    const TTable table{{"c"}, "t", {{"a", {1, 2}, {3, 4}}}};
    EXPECT_FALSE(chartcsv::Write(table, readOnly));
}

TEST(ChartCsv, AHistoryIsCopiedAsItHoldsItsPoints) {
    TChartHistory history;
    for (int i = 0; i < 100; ++i) history.Add(i * 5.0, i * 0.5);
    for (int i = 0; i < 40; ++i) history.RemoveFirst();
    const TColumn column = chartcsv::CopyHistory(history, "x");
    ASSERT_EQ(column.keys.size(), 60u);
    EXPECT_EQ(column.keys.front(), 200.0);
    EXPECT_EQ(column.values.back(), 49.5);
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
