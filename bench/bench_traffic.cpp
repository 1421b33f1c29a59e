// The traffic log costs measuring nothing to speak of: velocity samples per
// second of the real window at a 1 ms period on a simulated 38400-baud 8N1
// line, with "Журнал обмена" open (its view refreshed as it is) against the
// same window with it closed, in alternating rounds; the figure is the
// median of the per-pair ratios.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>

#include "bench/ProcessStats.h"
#include "bench/Report.h"
#include "bench/SimProcess.h"
#include "bench/WindowRig.h"
#include "window/MainUnit.h"
#include "window/TrafficWindow.h"

using namespace bench;

namespace {

constexpr int Pairs = 5;
constexpr double WarmUpSeconds = 0.3;
constexpr double RoundSeconds = 1.5;
constexpr double Goal = 0.95;

double SampleRate(TWindowRig& rig, const std::string& path, bool logOpen) {
    if (!rig.Connect(path) || !rig.ChooseMode(2) || !rig.Drive(300)) return 0;
    TTrafficWindow* view = rig.Form().ShowTraffic();
    if (!logOpen) view->hide();
    if (!rig.StartMeasurement(1, 100)) return 0;
    rig.Run(WarmUpSeconds);
    rig.CountSamples();
    const double start = WallSeconds();
    rig.Run(RoundSeconds);
    const double rate = double(rig.Samples()) / (WallSeconds() - start);
    view->hide();
    if (!rig.StopMeasurement() || !rig.Disconnect()) return 0;
    return rate;
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("velocity samples per second at a 1 ms period: traffic log open vs closed");
    TSimProcess simulator;
    std::string error;
    if (!simulator.Start({"--baud", "38400"}, &error)) {
        std::fprintf(stderr, "bench_traffic: %s\n", error.c_str());
        return 2;
    }
    TWindowRig rig;
    std::vector<double> ratios, open, closed;
    for (int i = 0; i < Pairs; ++i) {
        const double withLog = SampleRate(rig, simulator.Path(), true);
        const double without = SampleRate(rig, simulator.Path(), false);
        if (withLog == 0 || without == 0) {
            std::fprintf(stderr, "bench_traffic: %s\n", rig.Error().c_str());
            return 2;
        }
        std::printf("  pair %d: log open %.1f/s, closed %.1f/s, ratio %.3f\n", i + 1, withLog, without, withLog / without);
        ratios.push_back(withLog / without);
        open.push_back(withLog);
        closed.push_back(without);
    }
    TFigure figure;
    figure.Name = "window samples/s with the traffic log open / closed, 38400 8N1, 1 ms";
    figure.Goal = ">= " + Fixed(Goal, 2);
    figure.Measured = Fixed(Median(ratios), 2);
    figure.Raw = "median of " + std::to_string(Pairs) + " pairs; medians " + Fixed(Median(open), 1) + " vs " +
                 Fixed(Median(closed), 1) + " /s";
    figure.Pass = Median(ratios) >= Goal;
    return Print(figure) ? 0 : 1;
}
