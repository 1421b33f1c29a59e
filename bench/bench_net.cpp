// Velocity samples per second through a network serial server: the real
// window measuring at a 1 ms period through rfc2217:// to ser2net on
// 127.0.0.1, in front of the simulated controller on a 38400-baud line paced
// as a UART (8N1, both ways), against the same window on the same line
// through its local pty. Rounds alternate between the two, so that a machine
// busy with other work weighs on both alike; the figure is the median of the
// per-pair ratios.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>

#include "bench/ProcessStats.h"
#include "bench/Report.h"
#include "bench/SimProcess.h"
#include "bench/WindowRig.h"
#include "tests/ser2net/Ser2NetServer.h"
#include "window/MainUnit.h"

using namespace bench;

namespace {

constexpr int Pairs = 5;
constexpr double WarmUpSeconds = 0.3;
constexpr double RoundSeconds = 1.5;
constexpr double Goal = 0.9;

struct TPair {
    double Net = 0;    // samples per second through the server
    double Local = 0;  // through the pty
    double Ratio() const { return Net / Local; }
};

// One round of the window measuring at 1 ms on `device`; disconnected after
// it, so that the other side of the pair has the line to itself.
double SampleRate(TWindowRig& rig, const std::string& device) {
    if (!rig.Connect(device) || !rig.ChooseMode(2) || !rig.Drive(300) || !rig.StartMeasurement(1, 100))
        return 0;
    rig.Run(WarmUpSeconds);
    rig.CountSamples();
    const double start = WallSeconds();
    rig.Run(RoundSeconds);
    const double elapsed = WallSeconds() - start;
    const size_t samples = rig.SampleTimes().size();
    if (!rig.StopMeasurement() || !rig.Disconnect()) return 0;
    return double(samples) / elapsed;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

bool PrintFigure(const std::vector<TPair>& pairs) {
    std::vector<double> ratios, net, local;
    for (const TPair& pair : pairs) {
        ratios.push_back(pair.Ratio());
        net.push_back(pair.Net);
        local.push_back(pair.Local);
    }
    const double ratio = Median(ratios);
    TFigure figure;
    figure.Name = "window samples/s through rfc2217:// and ser2net / through the local pty, 38400 8N1, 1 ms";
    figure.Goal = ">= " + Fixed(Goal, 2);
    figure.Measured = Fixed(ratio, 2);
    figure.Raw = "median of " + std::to_string(pairs.size()) + " pairs; medians " + Fixed(Median(net), 1) +
                 " vs " + Fixed(Median(local), 1) + " /s";
    figure.Pass = ratio >= Goal;
    return Print(figure);
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "bench_net: %s\n", what.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("velocity samples per second, period 1 ms, 38400-baud line: through ser2net (rfc2217) vs local pty");

    TSimProcess simulator;
    std::string error;
    if (!simulator.Start({"--baud", "38400"}, &error)) return Fail(error);
    ser2net::TServer server;
    if (!server.Start(ser2net::EMode::Rfc2217, simulator.Path(), &error)) return Fail(error);
    std::printf("  %s -> ser2net -> %s\n", server.Address().c_str(), simulator.Path().c_str());
    TWindowRig rig;
    std::vector<TPair> pairs;
    for (int i = 0; i < Pairs; ++i) {
        TPair pair;
        pair.Net = SampleRate(rig, server.Address());
        if (pair.Net == 0) return Fail(rig.Error());
        pair.Local = SampleRate(rig, simulator.Path());
        if (pair.Local == 0) return Fail(rig.Error());
        std::printf("  pair %d: rfc2217 %.1f/s, local pty %.1f/s, ratio %.3f\n", i + 1, pair.Net, pair.Local,
                    pair.Ratio());
        pairs.push_back(pair);
    }
    return PrintFigure(pairs) ? 0 : 1;
}
