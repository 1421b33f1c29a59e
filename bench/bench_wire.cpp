// Velocity samples per second with the simulated controller's line paced as
// a 38400-baud UART (8N1, both ways) and the measurement period at 1 ms: the
// real window, offscreen, against a bare client that sends the next 'V' as
// soon as the last reply is in, on the same line in the same run. Rounds
// alternate between the two, so that a machine busy with other work weighs
// on both alike; the figure is the median of the per-pair ratios.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <QApplication>

#include "bench/ProcessStats.h"
#include "bench/PtyEcho.h"
#include "bench/Report.h"
#include "bench/SimProcess.h"
#include "bench/WindowRig.h"
#include "window/MainUnit.h"

using namespace bench;

namespace {

constexpr int Pairs = 5;
constexpr double WarmUpSeconds = 0.3;
constexpr double RoundSeconds = 1.5;
constexpr double Goal = 0.95;

struct TPair {
    double Window = 0;  // samples per second
    double Bare = 0;
    double Ratio() const { return Window / Bare; }
};

// What the line allows at most: the next 'V' as soon as the last reply is in.
double BareSampleRate(const std::string& path, std::string* error) {
    TPtyClient client;
    if (!client.Open(path, error)) return 0;
    const uint8_t frame[2] = {'V', 0};
    uint8_t reply[7];
    uint64_t count = 0;
    const double start = WallSeconds();
    while (WallSeconds() - start < RoundSeconds) {
        if (!client.Transact(frame, sizeof frame, reply, sizeof reply) || reply[6] != '+') {
            if (error) *error = "the simulated controller did not answer 'V'";
            return 0;
        }
        ++count;
    }
    return double(count) / (WallSeconds() - start);
}

// One round of the window measuring at 1 ms; the times between its samples
// are added to `intervals`. The window is disconnected after it, so that the
// bare client has the line to itself.
double WindowSampleRate(TWindowRig& rig, const std::string& path, std::vector<double>& intervals) {
    if (!rig.Connect(path) || !rig.ChooseMode(2) || !rig.Drive(300) || !rig.StartMeasurement(1, 100))
        return 0;
    rig.Run(WarmUpSeconds);
    rig.CountSamples();
    const double start = WallSeconds();
    rig.Run(RoundSeconds);
    const double elapsed = WallSeconds() - start;
    const std::vector<double> times = rig.SampleTimes();
    if (!rig.StopMeasurement() || !rig.Disconnect()) return 0;
    for (size_t i = 1; i < times.size(); ++i) intervals.push_back(times[i] - times[i - 1]);
    return double(times.size()) / elapsed;
}

// How far apart the window's samples came, in bins of half a millisecond.
void PrintIntervals(const std::vector<double>& intervals) {
    std::map<int, size_t> bins;
    for (double seconds : intervals) ++bins[int(std::lround(seconds * 2000.0))];
    std::printf("  window, time between samples:");
    for (const auto& [halfMs, count] : bins)
        if (count * 100 >= intervals.size())
            std::printf("  %.1f ms %zu%%", halfMs / 2.0, count * 100 / intervals.size());
    std::printf("  (bins of at least 1%%)\n");
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

bool PrintFigure(const std::vector<TPair>& pairs) {
    std::vector<double> ratios, window, bare;
    for (const TPair& pair : pairs) {
        ratios.push_back(pair.Ratio());
        window.push_back(pair.Window);
        bare.push_back(pair.Bare);
    }
    const double ratio = Median(ratios);
    TFigure figure;
    figure.Name = "window samples/s / bare client's, 38400 8N1, 1 ms";
    figure.Goal = ">= " + Fixed(Goal, 2);
    figure.Measured = Fixed(ratio, 2);
    figure.Raw = "median of " + std::to_string(pairs.size()) + " pairs; medians " +
                 Fixed(Median(window), 1) + " vs " + Fixed(Median(bare), 1) + " /s";
    figure.Pass = ratio >= Goal;
    return Print(figure);
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "bench_wire: %s\n", what.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("velocity samples per second on a 38400-baud line, period 1 ms: window vs bare client");

    TSimProcess simulator;
    std::string error;
    if (!simulator.Start({"--baud", "38400"}, &error)) return Fail(error);
    TWindowRig rig;
    std::vector<TPair> pairs;
    std::vector<double> intervals;
    for (int i = 0; i < Pairs; ++i) {
        TPair pair;
        pair.Window = WindowSampleRate(rig, simulator.Path(), intervals);
        if (pair.Window == 0) return Fail(rig.Error());
        pair.Bare = BareSampleRate(simulator.Path(), &error);
        if (pair.Bare == 0) return Fail(error);
        std::printf("  pair %d: window %.1f/s, bare client %.1f/s, ratio %.3f\n", i + 1, pair.Window,
                    pair.Bare, pair.Ratio());
        pairs.push_back(pair);
    }
    PrintIntervals(intervals);
    return PrintFigure(pairs) ? 0 : 1;
}
