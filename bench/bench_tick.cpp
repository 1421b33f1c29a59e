// The cost of one measurement tick (a sample placed, and the replot and repaint of
// the chart it asks for) with a history of 1,000,000 points, as a ratio of the
// tick with 100 points. Two windows are filled once, one per depth, and the
// rounds alternate between them (in turn which goes first), so a change in
// the machine's load falls on both alike: each round gives the ratio of its
// two median ticks, and the figure is the median of those ratios, printed
// with their lowest and highest. The cost is the main thread's CPU time.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>

#include "bench/ProcessStats.h"
#include "bench/Report.h"
#include "bench/TickDriver.h"
#include "bench/WindowRig.h"
#include "window/MainUnit.h"

using namespace bench;

namespace {

constexpr int ShallowDepth = 100;
constexpr int DeepDepth = 1'000'000;
constexpr int WarmUpTicks = 3;
constexpr int Rounds = 15;
constexpr int TicksPerRound = 5;
constexpr double Goal = 2.0;

// A window filled to its depth once, ticked from then on.
struct TSide {
    explicit TSide(int depth) : Driver(Rig.Form()) { Driver.Fill(depth); }
    TWindowRig Rig;  // not connected: the driver stands in for the controller's samples
    TTickDriver Driver;
    std::vector<double> Costs;  // median main-thread CPU ms of each round
    int Unsettled = 0;          // ticks whose replot or repaint did not come
};

double TickMs(TSide& side) {
    const double cpu0 = ThreadCpuSeconds();
    side.Driver.Plot();
    side.Unsettled += side.Driver.Settle() ? 0 : 1;
    return (ThreadCpuSeconds() - cpu0) * 1000.0;
}

void Round(TSide& side) {
    std::vector<double> cpu;
    for (int i = 0; i < TicksPerRound; ++i) cpu.push_back(TickMs(side));
    side.Costs.push_back(Median(cpu));
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("cost of one measurement tick at 1,000,000 points of history, vs 100 points, rounds interleaved");

    TSide shallow(ShallowDepth), deep(DeepDepth);
    for (int i = 0; i < WarmUpTicks; ++i) {
        TickMs(shallow);
        TickMs(deep);
    }
    std::vector<double> ratios;
    for (int r = 0; r < Rounds; ++r) {
        TSide& first = r % 2 == 0 ? shallow : deep;
        Round(first);
        Round(&first == &shallow ? deep : shallow);
        ratios.push_back(deep.Costs.back() / shallow.Costs.back());
    }
    const double ratio = Median(ratios);
    const auto [lowest, highest] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("  %9d points: %9.3f ms CPU per tick (median of %d rounds of %d ticks)\n", ShallowDepth,
                Median(shallow.Costs), Rounds, TicksPerRound);
    std::printf("  %9d points: %9.3f ms CPU per tick (median of %d rounds of %d ticks)\n", DeepDepth,
                Median(deep.Costs), Rounds, TicksPerRound);
    std::printf("  ratio per round: median %.2f, lowest %.2f, highest %.2f\n", ratio, *lowest, *highest);
    const int unsettled = shallow.Unsettled + deep.Unsettled;
    if (unsettled) std::printf("  ticks without their replot and repaint: %d\n", unsettled);

    TFigure figure;
    figure.Name = "tick cost, 1,000,000 / 100 points";
    figure.Goal = "<= 2.0";
    figure.Measured = Fixed(ratio, 2);
    figure.Raw = Fixed(Median(deep.Costs), 3) + " vs " + Fixed(Median(shallow.Costs), 3) +
                 " ms main-thread CPU per tick; " + std::to_string(Rounds) + " interleaved rounds, ratios " +
                 Fixed(*lowest, 2) + " to " + Fixed(*highest, 2);
    figure.Pass = unsettled == 0 && ratio <= Goal;
    return Print(figure) ? 0 : 1;
}
