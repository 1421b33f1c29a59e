// Velocity samples per second with the simulated controller throttled to a
// real 38400-baud line and the measurement period at 1 ms, as a ratio of the
// wire limit for the 9 bytes of one exchange (2 out, 7 back): 3840/9 per second.
// The real window does the polling, offscreen.
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <QApplication>

#include "MainUnit.h"
#include "ProcessStats.h"
#include "PtyEcho.h"
#include "Report.h"
#include "SimProcess.h"
#include "WindowRig.h"

using namespace bench;

namespace {

constexpr double BytesPerSecond = 38400.0 / 10.0;  // 10 bits a byte
constexpr double WireLimit = BytesPerSecond / 9.0;
constexpr double WarmUpSeconds = 0.5;
constexpr double RunSeconds = 5.0;
constexpr double BareSeconds = 2.0;

// What the throttled simulator allows at most: a bare client that sends the
// next 'V' as soon as the last reply is in, without a timer. Shown beside the
// figure so that a shortfall can be placed on the console or on the line.
double BareSampleRate(const std::string& path, std::string* error) {
    TPtyClient client;
    if (!client.Open(path, error)) return 0;
    const uint8_t frame[2] = {'V', 0};
    uint8_t reply[7];
    uint64_t count = 0;
    const double start = WallSeconds();
    while (WallSeconds() - start < BareSeconds) {
        if (!client.Transact(frame, sizeof frame, reply, sizeof reply) || reply[6] != '+') {
            if (error) *error = "the simulated controller did not answer 'V'";
            return 0;
        }
        ++count;
    }
    return double(count) / (WallSeconds() - start);
}

// How far apart accepted samples came: a poll goes out only on a timer tick,
// so the time of one exchange is rounded up to whole periods.
void PrintIntervals(const std::vector<double>& times) {
    std::map<int, int> bins;  // milliseconds, rounded to the nearest half
    for (size_t i = 1; i < times.size(); ++i)
        ++bins[int(std::lround((times[i] - times[i - 1]) * 2000.0))];
    std::printf("  time between samples:");
    for (const auto& [halfMs, count] : bins)
        if (count * 100 >= int(times.size()))
            std::printf("  %.1f ms %d%%", halfMs / 2.0, count * 100 / int(times.size()));
    std::printf("  (bins of at least 1%%)\n");
}

bool PrintFigure(const std::vector<double>& times, double elapsed, double bare, bool running) {
    const double rate = double(times.size()) / elapsed;
    PrintIntervals(times);
    std::printf("  a bare client without timer against the same line: %.1f/s (the window reaches %.2f of it)\n",
                bare, rate / bare);
    const double ratio = rate / WireLimit;
    TFigure figure;
    figure.Name = "samples/s at 38400 baud, 1 ms / 3840/9";
    figure.Goal = ">= 0.90";
    figure.Measured = Fixed(ratio, 2);
    figure.Raw = std::to_string(times.size()) + " samples in " + Fixed(elapsed, 2) + " s = " +
                 Fixed(rate, 1) + "/s vs " + Fixed(WireLimit, 1) + "/s";
    figure.Pass = running && ratio >= 0.9;
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
    Heading("velocity samples per second at 38400 baud, period 1 ms, vs 3840/9 per second");

    TSimProcess simulator;
    std::string error;
    if (!simulator.Start({"--baud", "38400"}, &error)) return Fail(error);
    const double bare = BareSampleRate(simulator.Path(), &error);
    if (bare == 0) return Fail(error);
    TWindowRig rig;
    if (!rig.Connect(simulator.Path()) || !rig.ChooseMode(2) || !rig.Drive(300) ||
        !rig.StartMeasurement(1, 100))
        return Fail(rig.Error());
    rig.Run(WarmUpSeconds);

    rig.CountSamples();
    const double start = WallSeconds();
    rig.Run(RunSeconds);
    const double elapsed = WallSeconds() - start;
    const bool running = rig.StopMeasurement();
    if (!running) std::printf("  the measurement stopped by itself: %s\n", rig.Error().c_str());
    return PrintFigure(rig.SampleTimes(), elapsed, bare, running) ? 0 : 1;
}
