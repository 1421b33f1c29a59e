// The manual drive while measuring: bursts of quick Right and Left presses
// reach the real window, offscreen, measuring at 1 ms over the simulated
// controller's line paced as a 38400-baud UART (8N1, both ways). After every
// burst the controller must hold what the bar shows (values lost: goal 0);
// and each value it received is timed from its key press to the moment the
// controller holds it (goal: 99th percentile at most one 'V' exchange plus
// one 'B' frame on this line, 9 + 4 bytes = 3.4 ms).
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QKeyEvent>

#include "bench/ProcessStats.h"
#include "bench/Report.h"
#include "bench/WindowRig.h"
#include "sim/PtySimulator.h"
#include "window/MainUnit.h"
#include "window/TrackBar.h"

using namespace bench;

namespace {

constexpr int Bursts = 150;
constexpr int PressesPerBurst = 7;
constexpr double PressGapSeconds = 0.001;
constexpr double SettleSeconds = 0.05;
constexpr double ByteSeconds = 10.0 / 38400.0;
constexpr double GoalSeconds = (9 + 4) * ByteSeconds;

// A thread of its own watches the controller's drive value and keeps the
// first wall-clock second at which it held each new value. Thread: watcher.
class TDriveWatch {
public:
    explicit TDriveWatch(const sim::TPtySimulator& sim) : FSim(sim) {
        FThread = std::thread([this] { Watch(); });
    }
    ~TDriveWatch() {
        FStop = true;
        FThread.join();
    }
    // Changes seen since the last call, oldest first.
    std::vector<std::pair<int, double>> Take() {
        const std::lock_guard lock(FMutex);
        return std::exchange(FChanges, {});
    }

private:
    void Watch() {
        int last = FSim.State().Drive;
        while (!FStop) {
            const int now = FSim.State().Drive;
            if (now != last) {
                const std::lock_guard lock(FMutex);
                FChanges.emplace_back(now, WallSeconds());
                last = now;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    const sim::TPtySimulator& FSim;
    std::thread FThread;
    std::atomic<bool> FStop{false};
    std::mutex FMutex;
    std::vector<std::pair<int, double>> FChanges;
};

// A press of the key through the application, as the window system delivers it.
void Press(TMainForm& form, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&form, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(&form, &release);
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "bench_drive: %s\n", what.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("drive bursts while measuring at 1 ms on a 38400-baud line: values lost, key-to-controller latency");

    sim::TSimOptions options;
    sim::TPtySimulator sim(options);
    std::string error;
    if (!sim.Start(&error)) return Fail(error);
    sim::TFaults faults;
    faults.BaudRate = 38400;
    sim.SetFaults(faults);
    TWindowRig rig;
    TMainForm& form = rig.Form();
    if (!rig.Connect(sim.Path()) || !rig.ChooseMode(2) || !rig.StartMeasurement(1, 1000))
        return Fail(rig.Error());
    TDriveWatch watch(sim);
    const auto* bar = form.findChild<TTrackBar*>(QStringLiteral("tbarSubCommand"));
    int lost = 0, steps = 0;
    std::vector<double> latencies;
    for (int burst = 0; burst < Bursts; ++burst) {
        std::map<int, double> pressed;  // value -> when its key was pressed
        watch.Take();
        for (int i = 0; i < PressesPerBurst; ++i) {
            Press(form, burst % 2 ? Qt::Key_Left : Qt::Key_Right);
            pressed[bar->Position() - 256] = WallSeconds();
            ++steps;
            rig.Run(PressGapSeconds);
        }
        rig.Run(SettleSeconds);
        if (sim.State().Drive != bar->Position() - 256) ++lost;
        for (const auto& [value, at] : watch.Take())
            if (pressed.count(value)) latencies.push_back(at - pressed[value]);
    }
    rig.StopMeasurement();
    const double p50 = Percentile(latencies, 0.5), p99 = Percentile(latencies, 0.99);
    std::printf("  %d steps in %d bursts; %zu values seen at the controller; latency median %.2f ms, 99th %.2f ms, max %.2f ms\n",
                steps, Bursts, latencies.size(), p50 * 1e3, p99 * 1e3, Percentile(latencies, 1.0) * 1e3);
    TFigure lostFigure{"bursts that left the controller off the bar, 38400 8N1, 1 ms", "0",
                       std::to_string(lost), std::to_string(steps) + " steps", lost == 0};
    TFigure latencyFigure{"key to controller, 99th percentile (ms), 38400 8N1, 1 ms",
                          "<= " + Fixed(GoalSeconds * 1e3, 1), Fixed(p99 * 1e3, 2),
                          "median " + Fixed(p50 * 1e3, 2) + " ms of " + std::to_string(latencies.size()),
                          p99 <= GoalSeconds};
    const bool lostPass = Print(lostFigure);
    return Print(latencyFigure) && lostPass ? 0 : 1;
}
