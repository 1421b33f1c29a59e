// The soak: many link transactions, then a long simulated measurement in the
// window, both against the simulated controller. Exit code 0 when every
// transaction ended as it should and nothing got stuck; 1 when something went
// wrong; 2 when the run could not start; 3 (from the watchdog) when stuck.
// Run it in the sanitizer build: LeakSanitizer then checks the whole run.
//
//   servo_soak [--transactions N] [--minutes M] [--stall-seconds S]
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include <QApplication>

#include "tests/soak/LinkSoak.h"
#include "tests/soak/MeasureSoak.h"
#include "tests/soak/SoakWatchdog.h"

namespace {

struct TOptions {
    uint64_t transactions = 100'000;
    int minutes = 10;          // of the controller's time
    int stallSeconds = 30;     // without progress: stuck
};

bool ParseOptions(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value) return false;
        if (std::strcmp(argv[i], "--transactions") == 0) options.transactions = std::strtoull(value, nullptr, 10);
        else if (std::strcmp(argv[i], "--minutes") == 0) options.minutes = std::atoi(value);
        else if (std::strcmp(argv[i], "--stall-seconds") == 0) options.stallSeconds = std::atoi(value);
        else return false;
        ++i;
    }
    return options.stallSeconds > 0 && options.minutes >= 0;
}

bool LinkPart(const TOptions& options, soak::TWatchdog& watchdog) {
    soak::TLinkSoakReport report;
    std::cout << "link soak: " << options.transactions << " transactions\n";
    if (!soak::RunLinkSoak(options.transactions, watchdog, report, std::cout)) std::exit(2);
    std::cout << "link soak: " << report.transactions << " transactions in " << report.seconds
              << " s; " << report.timeouts << " timed out (" << report.earlyTimeouts
              << " early, by a reply timer already running); " << report.wrongOutcomes
              << " wrong outcomes, " << report.wrongValues << " wrong values, "
              << report.refusedSends << " refused sends\n";
    return report.Clean() && report.transactions == options.transactions;
}

bool MeasurePart(const TOptions& options, soak::TWatchdog& watchdog) {
    soak::TMeasureSoakReport report;
    std::cout << "measurement soak: " << options.minutes << " minutes of the controller's time\n";
    if (!soak::RunMeasureSoak(options.minutes, watchdog, report, std::cout)) std::exit(2);
    std::cout << "measurement soak: " << double(report.chartMs) / 1000.0 << " s on the chart of "
              << double(report.controllerMs) / 1000.0 << " s on the controller's clock, " << report.polls
              << " polls, " << report.drives << " drive changes, in " << report.seconds << " s; "
              << report.boxes << " boxes, " << report.problems << " problems\n";
    return report.Clean();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "usage: servo_soak [--transactions N] [--minutes M] [--stall-seconds S]\n";
        return 2;
    }
    soak::TWatchdog watchdog{std::chrono::seconds(options.stallSeconds)};
    try {
        // A count of 0 leaves that part out.
        const bool linkOk = options.transactions == 0 || LinkPart(options, watchdog);
        const bool measureOk = options.minutes == 0 || MeasurePart(options, watchdog);
        std::cout << (linkOk && measureOk ? "soak: PASSED\n" : "soak: FAILED\n");
        return linkOk && measureOk ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "soak: " << e.what() << "\n";
        return 2;
    }
}
