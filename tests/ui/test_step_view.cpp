// Step-response figures from what the chart holds: the series they are
// worked out on follows from the series that hold points, the lines say each
// figure with its unit or why it is missing, and the panel marks the step.
#include <cmath>
#include <optional>

#include <QToolButton>
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include "chart/StepPanel.h"
#include "record/ChartHistory.h"
#include "record/StepAnalysis.h"
#include "record/StepReport.h"

namespace {

using stepview::EAnalysed;

constexpr double Tau = 40;      // ms, of the first-order responses below
constexpr double StepAt = 500;  // ms

// A first-order response to a step at StepAt, sampled every 5 ms.
double Response(double t, double from, double to) {
    return t < StepAt ? from : to + (from - to) * std::exp(-(t - StepAt) / Tau);
}

struct TCharted {
    TChartHistory series[3];
    std::array<const TChartHistory*, 3> Pointers() const { return {&series[0], &series[1], &series[2]}; }
};

// The velocity mode: actual, error and command fed together.
void FeedVelocity(TCharted& c, double from, double to) {
    for (int i = 0; i <= 300; ++i) {
        const double t = i * 5.0, command = t < StepAt ? from : to, actual = Response(t, from, to);
        c.series[0].Add(t, actual);
        c.series[1].Add(t, actual - command);
        c.series[2].Add(t, command);
    }
}

TEST(TStepAnalysis, TheSeriesHeldChooseWhatIsAnalysed) {
    TCharted velocity;
    FeedVelocity(velocity, 0, 20);
    TCharted error, mismatch;
    for (int i = 0; i <= 300; ++i) {
        const double t = i * 5.0, settling = Response(t, 0, 100) - 100;  // jumps to -100, then back to 0
        error.series[0].Add(t, t < StepAt ? 0 : settling);
        mismatch.series[0].Add(t, 1.5);
        mismatch.series[1].Add(t, t < StepAt ? 0 : settling);
    }
    struct TCase {
        const char* name;
        const TCharted& charted;
        EAnalysed what;
        int series;
    } cases[] = {
        {"velocity", velocity, EAnalysed::Velocity, 0},
        {"percent error", error, EAnalysed::Error, 0},
        {"mismatch", mismatch, EAnalysed::Mismatch, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const stepview::TAnalysis a = stepview::Analyse(c.charted.Pointers(), 0, 1500);
        EXPECT_EQ(a.What, c.what);
        EXPECT_EQ(a.Series, c.series);
        ASSERT_EQ(a.Figures.StepLack, stepfig::EFigureLack::None);
        EXPECT_EQ(a.Figures.StepTime, StepAt);
        EXPECT_NEAR(a.Figures.Settling5.Value, Tau * std::log(20.0), 5.0);
    }
    TCharted empty;
    EXPECT_EQ(stepview::Analyse(empty.Pointers(), 0, 1500).What, EAnalysed::None);
}

// A command series that stopped being fed (the mode was changed while
// running) ends the record where its points end: no figure is made of
// values paired with a command that was never recorded.
TEST(TStepAnalysis, ARecordEndsWhereTheCommandStops) {
    TCharted c;
    for (int i = 0; i <= 300; ++i) {
        const double t = i * 5.0;
        c.series[0].Add(t, Response(t, 0, 20));
        if (t < 400) c.series[2].Add(t, 0);  // the step at 500 ms never reached the command series
    }
    const stepview::TAnalysis a = stepview::Analyse(c.Pointers(), 0, 1500);
    EXPECT_EQ(a.Figures.StepLack, stepfig::EFigureLack::NoStep);
}

TEST(TStepReport, EveryFigureWithItsUnitOrWhyItIsMissing) {
    TCharted c;
    FeedVelocity(c, 0, 20);
    const QStringList lines = stepreport::Lines(stepview::Analyse(c.Pointers(), 0, 1500), "кИмп/сек");
    ASSERT_EQ(lines.size(), 8) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], "Переходная характеристика");
    EXPECT_EQ(lines[1], "Скачок задания: 0 → 20 кИмп/сек при 500 мсек");
    EXPECT_TRUE(lines[2].startsWith("Время нарастания 10–90 %: ") && lines[2].endsWith(" мсек")) << lines[2].toStdString();
    EXPECT_EQ(lines[3], "Перерегулирование: 0.0 %");
    EXPECT_TRUE(lines[4].startsWith("Время установления ±5 %: ") && lines[4].endsWith(" мсек"));
    EXPECT_TRUE(lines[6].startsWith("Установившаяся ошибка: ") && lines[6].endsWith(" кИмп/сек"));
    EXPECT_EQ(lines[7], "Время пика: нет перерегулирования");

    // Cut before the response settles: the settling figures say so.
    const QStringList cut = stepreport::Lines(stepview::Analyse(c.Pointers(), 0, 560), "кИмп/сек");
    EXPECT_EQ(cut[5], "Время установления ±2 %: не установилось");

    // No step in view: one plain line instead of figures.
    const QStringList none = stepreport::Lines(stepview::Analyse(c.Pointers(), 0, 450), "кИмп/сек");
    EXPECT_EQ(none, QStringList({"Переходная характеристика", "В видимой части нет скачка задания"}));
}

TEST(TStepPanel, ShowsTheLinesMarksTheStepAndCloses) {
    QCustomPlot chart;
    chart.resize(700, 300);
    chart.xAxis->setRange(0, 1500);
    chart.replot();
    TStepPanel panel(&chart);
    panel.ShowFigures({"Переходная характеристика", "Время пика: 12.5 мсек"}, 500.0);
    EXPECT_FALSE(panel.isHidden());
    EXPECT_EQ(panel.Text(), "Переходная характеристика\nВремя пика: 12.5 мсек");
    EXPECT_EQ(panel.MarkedTime(), std::optional<double>(500.0));
    EXPECT_EQ(chart.itemCount(), 1);
    EXPECT_TRUE(chart.axisRect()->rect().contains(panel.geometry())) << "the panel lies outside the plot";

    panel.ShowFigures({"Переходная характеристика", "Скачок не найден"}, std::nullopt);
    EXPECT_EQ(chart.itemCount(), 0) << "the old step's mark stayed";
    panel.findChild<QToolButton*>()->click();
    EXPECT_TRUE(panel.isHidden());
    EXPECT_EQ(panel.Text(), QString());
}

}  // namespace
