// Runs: the library's bound, a run through its CSV and back, the difference
// of each figure to the reference, and runs drawn on each other on their step.
#include <cmath>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTableWidget>
#include <qcustomplot.h>

#include "runs/RunCsv.h"
#include "runs/RunLibrary.h"
#include "window/RunFigures.h"
#include "window/RunsWindow.h"

using namespace runs;

namespace {

// A velocity step at stepAt ms from `from` to `to`, first order, a sample every 5 ms.
TRun StepRun(double stepAt, double to, int samples = 300, double tau = 40) {
    TRun run;
    run.started = QDateTime(QDate(2026, 12, 9), QTime(6, 0), Qt::UTC);
    run.servoMode = QString::fromUtf8("Скорость");
    run.periodMs = 5;
    run.params = paramfile::TWords{1, 256, 384, 64, 5, 6};
    run.timeName = QString::fromUtf8("Время (мсек)");
    for (int i = 0; i < samples; ++i) {
        const double t = i * 5.0, command = t < stepAt ? 0 : to;
        const double actual = t < stepAt ? 0 : to * (1 - std::exp(-(t - stepAt) / tau));
        run.series[0].Add(t, actual);
        run.series[1].Add(t, actual - command);
        run.series[2].Add(t, command);
    }
    run.Analyse();
    return run;
}

QByteArray Csv(const TRun& run) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(chartcsv::Write(Table(run), buffer));
    return buffer.data();
}

}  // namespace

TEST(RunLibrary, TheOldestRunThatIsNotTheReferenceGoesFirst) {
    const size_t oneRun = StepRun(500, 100).Bytes();
    struct TBound {
        size_t maxRuns, maxBytes;
        std::vector<int> kept;  // ids, after adding six with run 2 the reference
    };
    const TBound bounds[] = {
        {4, SIZE_MAX, {2, 4, 5, 6}},       // by number
        {100, 3 * oneRun, {2, 5, 6}},      // by memory
        {1, 1, {2, 6}},                    // the reference and the newest stay whatever they take
    };
    for (const TBound& bound : bounds) {
        TRunLibrary library(nullptr, bound.maxRuns, bound.maxBytes);
        for (int i = 0; i < 6; ++i) {
            library.Add(StepRun(500, 100));
            if (i == 1) library.SetReference(2);
        }
        std::vector<int> kept;
        for (const auto& run : library.Runs()) kept.push_back(run->id);
        EXPECT_EQ(kept, bound.kept) << bound.maxRuns << " runs, " << bound.maxBytes << " bytes";
        EXPECT_EQ(library.Added(), 6);
    }
}

TEST(RunCsv, ARunWrittenAndReadBackHasTheSameRowsAndFigures) {
    TRun run = StepRun(500, 123.4);
    run.aborted = true;
    run.name = QString::fromUtf8("Автонастройка 3");
    run.controller = "SRV2";
    const QByteArray written = Csv(run);
    const TCsvRead read = ReadCsv(written);
    ASSERT_TRUE(read.run) << read.line << ": " << read.reason.toStdString();
    EXPECT_EQ(Csv(*read.run), written);
    EXPECT_EQ(read.run->params, run.params);
    EXPECT_TRUE(read.run->aborted);
    EXPECT_EQ(read.run->name, run.name);
    ASSERT_EQ(read.run->analysis.Figures.StepLack, stepfig::EFigureLack::None);
    for (int i = 0; i < runfigures::Count; ++i)
        EXPECT_EQ(runfigures::Figure(*read.run, i), runfigures::Figure(run, i)) << "figure " << i;
}

TEST(RunCsv, DamagedFilesAreRefusedNamingTheLine) {
    const QByteArray good = Csv(StepRun(500, 100, 20));
    const int header = int(good.left(good.indexOf("Время")).count('\n')) + 1;
    struct TDamage {
        QByteArray bytes;
        int line;
        const char* reason;
    };
    QByteArray reversed = good;
    reversed.append("1.5,1,2,3\n");
    const TDamage damages[] = {
        {good + "100,1,x,3\n", header + 21, "ряд 2 не число"},
        {good + "100,1,2\n", header + 21, "ожидалось ячеек: 4"},
        {reversed, header + 21, "время меньше"},
        {good + "100,1e39,2,3\n", header + 21, "ряд 1: число вне допустимого диапазона"},  // past a float
        {"# only a comment\n", 0, "нет заголовка"},
        {"t,a,b,c,d\n", 1, "заголовок"},
        {QByteArray(good).replace("384 64", "384 70000"), 0, "шесть слов"},
    };
    for (const TDamage& damage : damages) {
        const TCsvRead read = ReadCsv(damage.bytes);
        ASSERT_FALSE(read.run) << damage.reason;
        if (damage.line) {
            EXPECT_EQ(read.line, damage.line) << damage.reason;
        }
        EXPECT_TRUE(read.reason.contains(QString::fromUtf8(damage.reason))) << read.reason.toStdString();
    }
}

TEST(RunFigures, EachFigureBesideItsDifferenceToTheReference) {
    const TRun reference = StepRun(500, 100), slower = StepRun(500, 100, 300, 80), none = StepRun(5000, 100);
    const double rise = *runfigures::Figure(reference, 0), slowRise = *runfigures::Figure(slower, 0);
    ASSERT_GT(slowRise, rise);
    EXPECT_EQ(runfigures::Text(reference, 0, &reference), QString::number(rise, 'g', 4));
    EXPECT_EQ(runfigures::Text(slower, 0, &reference),
              QString("%1 (+%2)").arg(QString::number(slowRise, 'g', 4), QString::number(slowRise - rise, 'g', 4)));
    EXPECT_EQ(runfigures::Text(reference, 0, &slower), QString("%1 (-%2)").arg(QString::number(rise, 'g', 4), QString::number(slowRise - rise, 'g', 4)));
    EXPECT_EQ(runfigures::Text(none, 0, &reference), QString::fromUtf8("–"));  // no step in the record
}

// Two runs whose steps lie 300 ms apart are drawn with their steps on each
// other: the first point off zero of each is at the same time, to one sample.
TEST(RunsWindow, CheckedRunsAreDrawnOnTheirStep) {
    TRunLibrary library;
    const int early = library.Add(StepRun(200, 100)).id, late = library.Add(StepRun(500, 150)).id;
    TRunsWindow window(nullptr, library, {});
    window.SetOverlaid(early, true);
    window.SetOverlaid(late, true);
    ASSERT_EQ(window.Plot()->graphCount(), 2);
    std::vector<double> firstMoved;
    for (int g = 0; g < 2; ++g) {
        const auto data = window.Plot()->graph(g)->data();
        const auto moved = std::find_if(data->begin(), data->end(), [](const QCPGraphData& p) { return p.value > 0; });
        ASSERT_NE(moved, data->end());
        firstMoved.push_back(moved->key);
    }
    EXPECT_NEAR(firstMoved[0], firstMoved[1], 5.0);
    for (int id = 0; id < 12; ++id) window.SetOverlaid(library.Add(StepRun(500, 100)).id, true);
    EXPECT_EQ(window.Overlaid().size(), size_t(TRunsWindow::MaxOverlaid));
    // The axis: the analysed column's name, or its unit alone where the name is
    // the chart's own "SeriesN"; a legend only over runs drawn.
    const std::pair<const char*, const char*> titles[] = {
        {"Series1 (кИмп/с)", "кИмп/с"}, {"Series1", ""}, {"V (мм/мин)", "V (мм/мин)"}};
    for (const auto& [column, title] : titles) {
        TRunLibrary one;
        TRunsWindow shown(nullptr, one, {});
        EXPECT_FALSE(shown.Plot()->legend->visible());
        TRun run = StepRun(200, 100);
        run.seriesNames[size_t(run.analysis.Series)] = QString::fromUtf8(column);
        shown.SetOverlaid(one.Add(std::move(run)).id, true);
        EXPECT_TRUE(shown.Plot()->legend->visible());
        EXPECT_EQ(shown.Plot()->yAxis->label(), QString::fromUtf8(title)) << column;
    }
}
