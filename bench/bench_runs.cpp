// The runs window: one redraw of its plot (the columns of every run worked
// out and drawn) with 10 runs of 100,000 points each
// drawn on each other, against the same window with one run, alternating
// rounds; the 10-run redraw must fit the live chart's 16 ms tick. And the
// memory 20 runs at depth 100,000 take in the library.
#include <cmath>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <qcustomplot.h>

#include "bench/ProcessStats.h"
#include "bench/Report.h"
#include "bench/WindowRig.h"
#include "window/RunsWindow.h"

using namespace bench;

namespace {

constexpr int Depth = 100'000;
constexpr int Rounds = 9;
constexpr int RedrawsPerRound = 5;
constexpr double TickMs = 16;

runs::TRun StepRun(int n) {
    runs::TRun run;
    run.started = QDateTime::currentDateTime();
    run.params = paramfile::TWords{};
    for (int i = 0; i < Depth; ++i) {
        const double t = i * 5.0, stepAt = 1000.0 + 5 * n, command = t < stepAt ? 0 : 100;
        const double actual = t < stepAt ? 0 : 100 * (1 - std::exp(-(t - stepAt) / (30.0 + n))) + std::sin(i) * 0.5;
        run.series[0].Add(t, actual);
        run.series[1].Add(t, actual - command);
        run.series[2].Add(t, command);
    }
    run.Analyse();
    return run;
}

double RedrawMs(TRunsWindow& window) {
    std::vector<double> ms;
    for (int i = 0; i < RedrawsPerRound; ++i) {
        // A resize works the columns out anew and replots, as a change of
        // the runs drawn does.
        const double start = WallSeconds();
        window.resize(window.width() + (i % 2 ? 1 : -1), window.height());
        ms.push_back((WallSeconds() - start) * 1000.0);
    }
    return Median(ms);
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("runs window: redraw with 10 runs of 100,000 points vs 1 run; memory of 20 runs");
    const size_t before = ResidentBytes();
    runs::TRunLibrary library;
    for (int n = 0; n < 20; ++n) library.Add(StepRun(n));
    const double mib = double(ResidentBytes() - before) / MiB;
    std::printf("library holds %zu runs, %.1f MiB by its own count\n", library.Runs().size(),
                double(library.Bytes()) / MiB);

    TRunsWindow one(nullptr, library, {}), ten(nullptr, library, {});
    one.SetOverlaid(library.Runs()[0]->id, true);
    for (int n = 0; n < TRunsWindow::MaxOverlaid; ++n) ten.SetOverlaid(library.Runs()[size_t(n)]->id, true);
    one.show();
    ten.show();
    std::vector<double> oneMs, tenMs, ratios;
    for (int round = 0; round < Rounds; ++round) {
        const bool tenFirst = round % 2 == 0;
        const double a = tenFirst ? RedrawMs(ten) : RedrawMs(one);
        const double b = tenFirst ? RedrawMs(one) : RedrawMs(ten);
        tenMs.push_back(tenFirst ? a : b);
        oneMs.push_back(tenFirst ? b : a);
        ratios.push_back(tenMs.back() / oneMs.back());
    }
    const double tenMedian = Median(tenMs), oneMedian = Median(oneMs);
    bool pass = Print({"runs window redraw, 10 runs / 1 run of 100,000 points", "report",
                       Fixed(Median(ratios), 2), Fixed(tenMedian, 2) + " vs " + Fixed(oneMedian, 2) + " ms", true});
    pass &= Print({"runs window redraw, 10 runs of 100,000 points", "< 16 ms tick", Fixed(tenMedian, 2) + " ms",
                   "median of " + std::to_string(Rounds) + " rounds", tenMedian < TickMs});
    pass &= Print({"memory, 20 runs at depth 100,000", "< 192 MiB", Fixed(mib, 1) + " MiB",
                   "resident growth; library count " + Fixed(double(library.Bytes()) / MiB, 1) + " MiB",
                   mib < 192});
    return pass ? 0 : 1;
}
