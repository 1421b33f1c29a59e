// servo-cli's parallel ports: the wall time of one `params set` (probe,
// identification, six reads, six writes, six reads back) on four simulated
// controllers behind one ser2net at once, against the same command on one of
// them. Each controller's line is paced at 38400 baud as a UART, so the run is
// the line's time, not the CPU's. Rounds alternate between the two; the
// figure is the median of the per-pair ratios (goal: four take at most 1.3
// times one).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include "bench/Report.h"
#include "paramset/ParamFile.h"
#include "tests/cli/rack/Rack.h"

using namespace bench;

namespace {

constexpr int Pairs = 7;
constexpr double Goal = 1.3;

// Seconds of one run to its end; 0 when it failed.
double RunSeconds(const QString& file, const std::vector<std::string>& ports) {
    QStringList args;
    for (const std::string& port : ports) args << "--port" << QString::fromStdString(port);
    args << "params" << "set" << file;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(SERVO_CLI_BINARY), args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return 0;
    return double(clock.nsecsElapsed()) / 1e9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "bench_cli: %s\n", what.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Heading("servo-cli params set: four controllers through one ser2net at once vs one, 38400-baud lines");
    clirack::TRack rack(4, ser2net::EMode::Rfc2217);
    std::string error;
    if (!rack.Start(&error)) return Fail(error);
    sim::TFaults paced;
    paced.BaudRate = 38400;
    for (size_t i = 0; i < 4; ++i) rack.Sim(i).SetFaults(paced);
    QTemporaryDir dir;
    const QString file = dir.filePath("set.json");
    if (const auto failed = paramfile::Save(file, {{65531, 512, 640, 32, 150, 128}, {}, {}, -1})) return Fail(failed->toStdString());

    const std::vector<std::string> four = rack.Addresses();
    std::vector<double> ratios, ones, fours;
    for (int i = 0; i < Pairs; ++i) {
        const double one = RunSeconds(file, {four[size_t(i) % 4]});
        const double all = RunSeconds(file, four);
        if (one == 0 || all == 0) return Fail("a run failed");
        std::printf("  pair %d: one %.3f s, four %.3f s, ratio %.3f\n", i + 1, one, all, all / one);
        ones.push_back(one), fours.push_back(all), ratios.push_back(all / one);
    }
    const double ratio = Median(ratios);
    TFigure figure;
    figure.Name = "servo-cli params set wall time, four controllers via ser2net / one";
    figure.Goal = "<= " + Fixed(Goal, 2);
    figure.Measured = Fixed(ratio, 2);
    figure.Raw = "median of " + std::to_string(Pairs) + " pairs; medians " + Fixed(Median(fours), 3) + " vs " +
                 Fixed(Median(ones), 3) + " s";
    figure.Pass = ratio <= Goal;
    return Print(figure) ? 0 : 1;
}
