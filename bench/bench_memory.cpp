// Resident memory of the window after 100,000 measurement ticks at a history
// depth of 1,000,000, against its size before the first tick, and whether it
// still grows: the size at 50,000 ticks against the size at 100,000. The
// history must hold the full depth in every series at the end.
#include <algorithm>
#include <cstdio>
#include <string>

#include <QApplication>
#include <qcustomplot.h>

#include "bench/ProcessStats.h"
#include "bench/Report.h"
#include "bench/TickDriver.h"
#include "bench/WindowRig.h"
#include "chart/ChartFeed.h"
#include "window/MainUnit.h"

using namespace bench;

namespace {

constexpr int Depth = 1'000'000;
constexpr int Ticks = 100'000;
// The replot is asked for on every tick and runs once per pass of the event
// loop, however often it was asked; letting one pass run every so many ticks
// keeps the run short while the data side sees every tick.
constexpr int TicksPerPass = 1000;
constexpr double LimitMiB = 64.0;
constexpr double GrowthLimit = 1.01;

std::string MiBText(size_t bytes) { return Fixed(double(bytes) / MiB, 1) + " MiB"; }

struct TRun {
    size_t Before = 0, Half = 0, After = 0;  // resident bytes
    double Seconds = 0;
    int Unsettled = 0;  // passes whose replot or repaint did not come
};

TRun RunTicks(TTickDriver& driver) {
    TRun run;
    driver.Fill(Depth);
    driver.Plot();
    driver.Settle();
    run.Before = ResidentBytes();
    const double start = WallSeconds();
    for (int tick = 1; tick <= Ticks; ++tick) {
        driver.Plot();
        if (tick % TicksPerPass == 0) run.Unsettled += driver.Settle() ? 0 : 1;
        if (tick == Ticks / 2) run.Half = ResidentBytes();
    }
    run.After = ResidentBytes();
    run.Seconds = WallSeconds() - start;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("resident memory after 100,000 ticks at depth 1,000,000");

    TWindowRig rig;
    TTickDriver driver(rig.Form());
    const TRun run = RunTicks(driver);
    // The points the histories hold: every series must hold the full depth.
    int points = Depth, most = 0;
    for (int i = 0; i < TChartFeed::SeriesCount; ++i) {
        points = std::min(points, rig.Form().ChartFeed()->Count(i));
        most = std::max(most, rig.Form().ChartFeed()->Count(i));
    }
    std::printf("  before the first tick %s, after 50,000 %s, after 100,000 %s (%.1f s, %d points held, %d replots)\n",
                MiBText(run.Before).c_str(), MiBText(run.Half).c_str(), MiBText(run.After).c_str(),
                run.Seconds, points, driver.Replots());
    if (run.Unsettled) std::printf("  passes without their replot and repaint: %d\n", run.Unsettled);

    TFigure size;
    size.Name = "RSS after 100,000 ticks at depth 1,000,000";
    size.Goal = "< 64 MiB";
    size.Measured = MiBText(run.After);
    size.Raw = Fixed(double(run.After) / double(run.Before), 2) + " x the " + MiBText(run.Before) +
               " before the first tick; " + std::to_string(points) + " points held per series";
    size.Pass = double(run.After) / MiB < LimitMiB && points == Depth && most == Depth &&
                run.Unsettled == 0;
    const double growth = double(run.After) / double(run.Half);
    TFigure growing;
    growing.Name = "RSS at 100,000 / at 50,000 ticks";
    growing.Goal = "<= 1.01";
    growing.Measured = Fixed(growth, 3);
    growing.Raw = MiBText(run.After) + " vs " + MiBText(run.Half);
    growing.Pass = growth <= GrowthLimit;
    const bool sizePassed = Print(size);
    const bool growthPassed = Print(growing);
    return sizePassed && growthPassed ? 0 : 1;
}
