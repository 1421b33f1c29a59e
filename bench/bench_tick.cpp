// The cost of one measurement tick (PlotSample, and the replot and repaint of
// the chart it asks for) with a history of 100, 10,000, 100,000 and 1,000,000
// points, as a ratio of the 100-point tick. The cost is the main thread's CPU
// time; the median of many ticks is taken.
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>

#include "MainUnit.h"
#include "ProcessStats.h"
#include "Report.h"
#include "TickDriver.h"
#include "WindowRig.h"

using namespace bench;

namespace {

constexpr int WarmUpTicks = 2;
// At least MinTicks and at most MaxTicks per depth; no new tick once
// BudgetSeconds have gone by, so slow depths do not stretch the run.
constexpr int MinTicks = 5;
constexpr int MaxTicks = 40;
constexpr double BudgetSeconds = 3.0;

struct TCost {
    double CpuMs = 0;   // median main-thread CPU per tick
    double WallMs = 0;  // median wall time per tick
    int Ticks = 0;      // ticks measured
    int Unsettled = 0;  // ticks whose replot or repaint did not come
};

TCost MeasureDepth(TTickDriver& driver, int depth) {
    driver.Fill(depth);
    TCost cost;
    for (int i = 0; i < WarmUpTicks; ++i) {
        driver.Plot();
        driver.Settle();
    }
    std::vector<double> cpu, wall;
    const double start = WallSeconds();
    for (int i = 0; i < MaxTicks; ++i) {
        if (i >= MinTicks && WallSeconds() - start > BudgetSeconds) break;
        const double cpu0 = ThreadCpuSeconds(), wall0 = WallSeconds();
        driver.Plot();
        cost.Unsettled += driver.Settle() ? 0 : 1;
        cpu.push_back((ThreadCpuSeconds() - cpu0) * 1000.0);
        wall.push_back((WallSeconds() - wall0) * 1000.0);
    }
    cost.Ticks = int(cpu.size());
    cost.CpuMs = Median(cpu);
    cost.WallMs = Median(wall);
    return cost;
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("cost of one measurement tick by history length, vs the 100-point tick");

    TWindowRig rig;  // not connected: the driver stands in for the controller's samples
    TTickDriver driver(rig.Form());
    const std::vector<int> depths{100, 10'000, 100'000, 1'000'000};
    std::vector<TCost> costs;
    int unsettled = 0;
    for (int depth : depths) {
        costs.push_back(MeasureDepth(driver, depth));
        unsettled += costs.back().Unsettled;
        const TCost& c = costs.back();
        std::printf("  %9d points: %9.3f ms CPU, %9.3f ms wall per tick (median of %d), ratio %8.2f\n",
                    depth, c.CpuMs, c.WallMs, c.Ticks, c.CpuMs / costs.front().CpuMs);
        std::fflush(stdout);
    }
    if (unsettled) std::printf("  ticks without their replot and repaint: %d\n", unsettled);

    const double ratio = costs.back().CpuMs / costs.front().CpuMs;
    TFigure figure;
    figure.Name = "tick cost, 1,000,000 / 100 points";
    figure.Goal = "<= 2.0";
    figure.Measured = Fixed(ratio, 2);
    figure.Raw = Fixed(costs.back().CpuMs, 3) + " vs " + Fixed(costs.front().CpuMs, 3) +
                 " ms main-thread CPU per tick (medians of " + std::to_string(costs.back().Ticks) +
                 " and " + std::to_string(costs.front().Ticks) + " ticks)";
    figure.Pass = unsettled == 0 && ratio <= 2.0;
    return Print(figure) ? 0 : 1;
}
