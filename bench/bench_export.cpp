// The chart's CSV export of 1,000,000 samples of three series, chosen from
// the menu as a user does (the points copied on the main thread, formatted
// and written on a worker, renamed into place, the end delivered back), as a
// ratio of a bare loop that writes the same numbers (std::to_chars into a
// buffer, fwrite) to the same disk. The rounds alternate, each pair gives a
// ratio, and the figure is their median; the export's own time is printed
// too, with how long the main thread was held by it.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "bench/ProcessStats.h"
#include "bench/Report.h"
#include "bench/TickDriver.h"
#include "bench/WindowRig.h"
#include "chart/ChartMenu.h"
#include "chart/SeriesGraph.h"
#include "window/MainUnit.h"
#include "tests/support/WindowParts.h"

using namespace bench;

namespace {

constexpr int Samples = 1'000'000;
constexpr int Rounds = 9;
constexpr double GoalRatio = 1.5;
constexpr double GoalSeconds = 1.0;
constexpr int ExportLimitMs = 30'000;

struct TNumbers {
    std::vector<double> keys;
    std::vector<std::vector<double>> values;  // per series
};

TNumbers Copy(TMainForm& form) {
    TNumbers numbers;
    for (TSeriesGraph* series : {testsupport::Parts(form).Series1, testsupport::Parts(form).Series2, testsupport::Parts(form).Series3}) {
        const TChartHistory& history = series->History();
        std::vector<double> values;
        for (int i = 0; i < history.Count(); ++i) values.push_back(history.Value(i));
        numbers.values.push_back(std::move(values));
    }
    const TChartHistory& times = testsupport::Parts(form).Series1->History();
    for (int i = 0; i < times.Count(); ++i) numbers.keys.push_back(times.Key(i));
    return numbers;
}

// The same numbers, one row a sample, with nothing but formatting and writing.
double BareLoop(const TNumbers& numbers, const QString& path) {
    const double start = WallSeconds();
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file) return -1;
    std::vector<char> buffer(size_t(1) << 20);
    size_t used = 0;
    for (size_t i = 0; i < numbers.keys.size(); ++i) {
        if (buffer.size() - used < 256) {
            std::fwrite(buffer.data(), 1, used, file);
            used = 0;
        }
        char* at = buffer.data() + used;
        char* const end = buffer.data() + buffer.size();
        at = std::to_chars(at, end, numbers.keys[i]).ptr;
        for (const std::vector<double>& values : numbers.values) {
            *at++ = ',';
            at = std::to_chars(at, end, values[i]).ptr;
        }
        *at++ = '\n';
        used = size_t(at - buffer.data());
    }
    std::fwrite(buffer.data(), 1, used, file);
    const bool ok = std::fclose(file) == 0;
    return ok ? WallSeconds() - start : -1;
}

struct TExportTimes {
    double total = -1;  // from choosing the entry to the delivered end
    double held = 0;    // of which the main thread was busy choosing it
};

// As from the menu: the entry triggered, the file name given where the dialog would ask.
TExportTimes Export(TMainForm& form, const QString& path) {
    // The wait sleeps until the end is delivered: a spinning main thread
    // would take a core from the worker.
    QEventLoop loop;
    QString error;
    bool done = false;
    const QMetaObject::Connection connection =
        QObject::connect(testsupport::Parts(form).ChartMenu, &TChartMenu::Saved, &loop, [&](const QString&, const QString& e) {
            done = true;
            error = e;
            loop.quit();
        });
    QTimer::singleShot(ExportLimitMs, &loop, &QEventLoop::quit);
    testsupport::Parts(form).ChartMenu->SetChooser([path](const TChartMenu::TFileRequest&) {
        return TChartMenu::TFileChoice{path, 0};
    });
    TExportTimes times;
    const double start = WallSeconds();
    testsupport::Parts(form).ChartMenu->SaveCsvAction()->trigger();
    times.held = WallSeconds() - start;
    if (!done) loop.exec();
    if (done && error.isEmpty()) times.total = WallSeconds() - start;
    QObject::disconnect(connection);
    if (!error.isEmpty()) std::printf("  export failed: %s\n", qPrintable(error));
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    PreferOffscreen();
    QApplication app(argc, argv);
    Heading("CSV export of 1,000,000 samples of three series, vs a bare to_chars + fwrite loop");

    TWindowRig rig;  // not connected: the driver stands in for the controller's samples
    TTickDriver driver(rig.Form());
    driver.Fill(Samples);
    const TNumbers numbers = Copy(rig.Form());
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::printf("  no temporary directory here\n");
        return 2;
    }
    const QString exportPath = dir.filePath(QStringLiteral("export.csv"));
    const QString barePath = dir.filePath(QStringLiteral("bare.csv"));

    std::vector<double> ratios, exports, bares, held, snapshots;
    for (int r = 0; r < Rounds; ++r) {
        TExportTimes times;
        double bare = 0;
        // In turn which goes first, so a change in the machine's load falls on both alike.
        if (r % 2 == 0) {
            times = Export(rig.Form(), exportPath);
            bare = BareLoop(numbers, barePath);
        } else {
            bare = BareLoop(numbers, barePath);
            times = Export(rig.Form(), exportPath);
        }
        if (times.total < 0 || bare < 0) {
            std::printf("  round %d could not write its files\n", r + 1);
            return 2;
        }
        QFile::remove(exportPath);
        QFile::remove(barePath);
        // The copy the export takes on the main thread, on its own.
        const double snapshotStart = WallSeconds();
        const chartcsv::TTable table = testsupport::Parts(rig.Form()).ChartMenu->Table(QDateTime::currentDateTime());
        snapshots.push_back(WallSeconds() - snapshotStart);
        ratios.push_back(times.total / bare);
        exports.push_back(times.total);
        bares.push_back(bare);
        held.push_back(times.held);
    }
    const auto [lowest, highest] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("  export:    %7.3f s (median of %d rounds), the main thread held %.1f ms of it\n",
                Median(exports), Rounds, Median(held) * 1000.0);
    std::printf("  bare loop: %7.3f s (median of %d rounds)\n", Median(bares), Rounds);
    std::printf("  the copy of the points alone: %.1f ms (median)\n", Median(snapshots) * 1000.0);
    std::printf("  ratio per round: median %.2f, lowest %.2f, highest %.2f\n", Median(ratios), *lowest, *highest);

    TFigure ratio;
    ratio.Name = "CSV export, 1,000,000 samples x 3 series / bare to_chars + fwrite loop";
    ratio.Goal = "<= 1.5";
    ratio.Measured = Fixed(Median(ratios), 2);
    ratio.Raw = Fixed(Median(exports), 3) + " vs " + Fixed(Median(bares), 3) + " s; " +
                std::to_string(Rounds) + " interleaved rounds, ratios " + Fixed(*lowest, 2) + " to " +
                Fixed(*highest, 2);
    ratio.Pass = Median(ratios) <= GoalRatio;
    TFigure absolute;
    absolute.Name = "CSV export, 1,000,000 samples x 3 series, wall time";
    absolute.Goal = "< 1 s";
    absolute.Measured = Fixed(Median(exports), 3) + " s";
    absolute.Raw = "main thread held " + Fixed(Median(held) * 1000.0, 1) + " ms (copying the points)";
    absolute.Pass = Median(exports) < GoalSeconds;
    const bool ratioMet = Print(ratio);
    const bool timeMet = Print(absolute);
    return ratioMet && timeMet ? 0 : 1;
}
