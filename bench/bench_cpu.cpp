// CPU used by the console process (every thread of it; the simulated
// controller runs as its own process and is not counted), as a share of the
// wall-clock time (one core): running measurement at the default 16 ms with
// a history depth of 10,000 and the chart drawn offscreen, then connected and
// idle. Each is measured in five rounds of 2 s one after the other, and the
// figure is the median round: the machines are shared, and a burst of other
// work in one round inflates that round only. A reference follows: the same
// ticks, line and hand-overs with nothing of the console in them (WakeFloor),
// measured the same way while the console is idle, shows what the machine
// charges for the wake-ups alone.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>

#include "bench/ProcessStats.h"
#include "bench/Report.h"
#include "bench/SimProcess.h"
#include "bench/WakeFloor.h"
#include "bench/WindowRig.h"
#include "window/MainUnit.h"

using namespace bench;

namespace {

constexpr double SettleSeconds = 1.0;
constexpr int Rounds = 5;
constexpr double RoundSeconds = 2.0;
constexpr int PeriodMs = 16;
constexpr int Depth = 10'000;
constexpr double SampleReplyBytes = 7;  // a 'V' reply: six bytes and the status

struct TShare {
    double Process = 0;     // share of one core, whole process
    double MainThread = 0;  // share of one core, main thread only
    double Wall = 0;
    double Cpu = 0;
    double SleepsPerSecond = 0;  // any thread of the process
};

TShare MeasureRound(TWindowRig& rig) {
    const double wall0 = WallSeconds(), cpu0 = ProcessCpuSeconds(), main0 = ThreadCpuSeconds();
    const uint64_t sleeps0 = ProcessSleeps();
    rig.Run(RoundSeconds);
    TShare share;
    share.Wall = WallSeconds() - wall0;
    share.Cpu = ProcessCpuSeconds() - cpu0;
    share.Process = share.Cpu / share.Wall;
    share.MainThread = (ThreadCpuSeconds() - main0) / share.Wall;
    share.SleepsPerSecond = double(ProcessSleeps() - sleeps0) / share.Wall;
    return share;
}

// The rounds, by the process' share, lowest first.
std::vector<TShare> Measure(TWindowRig& rig) {
    std::vector<TShare> rounds;
    for (int i = 0; i < Rounds; ++i) rounds.push_back(MeasureRound(rig));
    std::sort(rounds.begin(), rounds.end(), [](const TShare& a, const TShare& b) { return a.Process < b.Process; });
    return rounds;
}

const TShare& MedianRound(const std::vector<TShare>& rounds) { return rounds[rounds.size() / 2]; }

std::string Percent(double share) { return Fixed(share * 100.0, 2) + " %"; }

std::string Raw(const std::vector<TShare>& rounds) {
    const TShare& median = MedianRound(rounds);
    return Fixed(median.Cpu, 3) + " s CPU in " + Fixed(median.Wall, 2) + " s wall (main thread " +
           Percent(median.MainThread) + "); median of " + std::to_string(rounds.size()) + " rounds of " +
           Fixed(RoundSeconds, 0) + " s, " + Percent(rounds.front().Process) + " to " + Percent(rounds.back().Process) +
           "; threads put to sleep " + Fixed(median.SleepsPerSecond, 0) + " times a second";
}

// The reference: the console stays connected and idle while a second
// simulated controller is polled with nothing of the console in between.
bool MeasureFloor(TWindowRig& rig, std::vector<TShare>& rounds, std::string* error) {
    TSimProcess simulator;
    if (!simulator.Start({"--baud", "38400", "--rx-fifo", "8"}, error)) return false;
    TWakeFloor floor;
    if (!floor.Start(simulator.Path(), PeriodMs, error)) return false;
    rig.Run(SettleSeconds);
    const uint64_t before = floor.ReplyBytes();
    const double start = WallSeconds();
    rounds = Measure(rig);
    const double replies = double(floor.ReplyBytes() - before) / SampleReplyBytes / (WallSeconds() - start);
    floor.Stop();
    if (replies < 0.5 * 1000.0 / PeriodMs) {
        *error = "the reference loop got " + Fixed(replies, 1) + " replies a second";
        return false;
    }
    return true;
}

void PrintFloor(const std::vector<TShare>& measuring, const std::vector<TShare>& floor) {
    const double console = MedianRound(measuring).Process, bare = MedianRound(floor).Process;
    std::printf("  reference: the same ticks, line and hand-overs beside the idle console (included): %s\n",
                Percent(bare).c_str());
    std::printf("  %-44s %s\n", "", Raw(floor).c_str());
    std::printf("  %-44s console measuring / reference: %s\n", "", Fixed(console / bare, 2).c_str());
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "bench_cpu: %s\n", what.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("console CPU while measuring at 16 ms (depth 10,000) and while idle, vs wall-clock time (one core)");

    TSimProcess simulator;
    std::string error;
    if (!simulator.Start({"--baud", "38400", "--rx-fifo", "8"}, &error)) return Fail(error);
    TWindowRig rig;
    if (!rig.Connect(simulator.Path()) || !rig.ChooseMode(2) || !rig.Drive(300) ||
        !rig.StartMeasurement(PeriodMs, Depth))
        return Fail(rig.Error());
    rig.Run(SettleSeconds);
    const std::vector<TShare> measuring = Measure(rig);
    const bool ran = rig.StopMeasurement();
    rig.Run(SettleSeconds);
    const std::vector<TShare> idle = Measure(rig);
    if (!ran) std::printf("  the measurement stopped by itself: %s\n", rig.Error().c_str());
    std::vector<TShare> floor;
    if (MeasureFloor(rig, floor, &error)) PrintFloor(measuring, floor);
    else std::printf("  reference not measured: %s\n", error.c_str());

    TFigure running;
    running.Name = "CPU measuring at 16 ms, depth 10,000 / one core";
    running.Goal = "< 2 %";
    running.Measured = Percent(MedianRound(measuring).Process);
    running.Raw = Raw(measuring);
    running.Pass = ran && MedianRound(measuring).Process < 0.02;
    TFigure waiting;
    waiting.Name = "CPU connected and idle / one core";
    waiting.Goal = "< 0.5 %";
    waiting.Measured = Percent(MedianRound(idle).Process);
    waiting.Raw = Raw(idle);
    waiting.Pass = MedianRound(idle).Process < 0.005;
    const bool runningPassed = Print(running);
    const bool idlePassed = Print(waiting);
    return runningPassed && idlePassed ? 0 : 1;
}
