// A complete record: servo-cli measures a simulated controller on a line
// paced at 38400 baud for a minute at the step test's default period (2 ms)
// and, as the baseline, at the controller's own tick (5 ms); the figure is
// the controller ticks no sample saw (goal: none of at least 10,000).
// Another period and length may be given: bench_ticks [PERIOD_MS [SECONDS]].
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include "bench/Report.h"
#include "runs/RunCsv.h"
#include "runs/StepPlan.h"
#include "sim/PtySimulator.h"

using namespace bench;

namespace {

int Seconds = 60;

struct TCount {
    long ticks = 0, missed = 0;
    bool ok = false;
};

// The ticks from the record's first sample to its last, and those between samples unseen.
TCount Measure(const std::string& port, int periodMs, const QString& csv) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(SERVO_CLI_BINARY),
                  {"--port", QString::fromStdString(port), "measure", "--period", QString::number(periodMs),
                   "--duration", QString::number(Seconds), "-o", csv});
    TCount count;
    if (!process.waitForFinished((Seconds + 60) * 1000) || process.exitCode() != 0) return count;
    const runs::TCsvRead read = runs::LoadCsv(csv);
    if (!read.run) return count;
    const TChartHistory& keys = read.run->series[0];
    for (int i = 1; i < keys.Count(); ++i) count.missed += long((keys.Key(i) - keys.Key(i - 1)) / 5) - 1;
    count.ticks = keys.Count() > 0 ? long(keys.Key(keys.Count() - 1) / 5) + 1 : 0;
    count.ok = count.ticks > 0;
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // bench_ticks [PERIOD_MS [SECONDS]]: another period or length to try.
    const int period = argc > 1 ? std::atoi(argv[1]) : steptest::TSettings().periodMs;
    if (argc > 2) Seconds = std::atoi(argv[2]);
    Heading("servo-cli measure on a 38400-baud line: controller ticks missed at the step test's period and at 5 ms");
    sim::TPtySimulator simulator;
    if (!simulator.Start()) {
        std::fprintf(stderr, "bench_ticks: the simulator did not start\n");
        return 2;
    }
    sim::TFaults paced;
    paced.BaudRate = 38400;
    simulator.SetFaults(paced);
    simulator.SetMode(sim::smVelocity);
    QTemporaryDir dir;
    const TCount fast = Measure(simulator.Path(), period, dir.filePath("fast.csv"));
    const TCount tick = Measure(simulator.Path(), 5, dir.filePath("tick.csv"));
    if (!fast.ok || !tick.ok) {
        std::fprintf(stderr, "bench_ticks: a measurement failed\n");
        return 2;
    }
    std::printf("  %d ms: %ld of %ld ticks missed; 5 ms: %ld of %ld\n", period, fast.missed, fast.ticks, tick.missed,
                tick.ticks);
    TFigure figure;
    figure.Name = "controller ticks missed at the step test's " + std::to_string(period) + " ms period, 38400 baud";
    figure.Goal = "0 of >= 10000";
    figure.Measured = std::to_string(fast.missed) + " of " + std::to_string(fast.ticks);
    figure.Raw = "at 5 ms: " + std::to_string(tick.missed) + " of " + std::to_string(tick.ticks);
    figure.Pass = fast.missed == 0 && fast.ticks >= 10000;
    return Print(figure) ? 0 : 1;
}
