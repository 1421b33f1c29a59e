// servo-sim: the simulated controller as a command.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "sim/CommandLine.h"
#include "sim/PtySimulator.h"

namespace {

// Blocks SIGINT and SIGTERM in every thread so the main thread can take them
// with sigtimedwait; the serving thread inherits the mask.
sigset_t BlockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}

// Returns true on a stop signal, false when the line went away.
bool WaitForStop(const sigset_t& signals, const sim::TPtySimulator& simulator) {
    const timespec period{0, 500'000'000};
    while (simulator.Running()) {
        if (sigtimedwait(&signals, nullptr, &period) > 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const sim::TCommandLine line = sim::ParseCommandLine({argv + 1, argv + argc});
    if (line.Help) {
        std::cout << sim::UsageText();
        return 0;
    }
    if (!line.Error.empty()) {
        std::cerr << "servo-sim: " << line.Error << "\n" << sim::UsageText();
        return 2;
    }
    if (line.Version) {
        std::cout << "servo-sim " << SERVO_SIM_VERSION << "\n";
        return 0;
    }
    const sigset_t signals = BlockStopSignals();
    sim::TSimOptions options{sim::EClockKind::Wall, line.TtyPath, line.Faults};
    options.Plant = line.Plant;
    sim::TPtySimulator simulator(options);
    std::string error;
    if (!simulator.Start(&error)) {
        std::cerr << "servo-sim: " << error << "\n";
        return 1;
    }
    std::cout << simulator.Path() << std::endl;
    if (!WaitForStop(signals, simulator)) {
        std::cerr << "servo-sim: the line was closed\n";
        return 1;
    }
    simulator.Stop();
    return 0;
}
