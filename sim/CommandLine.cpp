#include "sim/CommandLine.h"

#include <charconv>
#include <optional>

namespace sim {

namespace {

bool ParseCount(const std::string& text, uint32_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// Applies an option that takes a value; false when the value is bad.
bool ApplyValue(const std::string& option, const std::string& value, TFaults& faults) {
    if (option == "--refuse") {
        faults.RefuseCodes = value;
        return !value.empty();
    }
    if (option == "--frame") {
        faults.Frame = ParseCharFrame(value);
        return faults.Frame.has_value();
    }
    uint32_t number = 0;
    if (!ParseCount(value, number)) return false;
    if (option == "--baud") faults.BaudRate = number;
    if (option == "--drop-every") faults.DropEvery = number;
    if (option == "--delay") faults.DelayMs = number;
    if (option == "--rx-fifo") faults.RxFifo = number;
    return true;
}

bool TakesValue(const std::string& option) {
    return option == "--baud" || option == "--frame" || option == "--refuse" ||
           option == "--drop-every" || option == "--delay" || option == "--rx-fifo" ||
           option == "--plant";
}

// Takes the value of an option; the reason when it is bad.
std::string TakeValue(const std::string& option, const std::string& value, TCommandLine& line) {
    if (option != "--plant")
        return ApplyValue(option, value, line.Faults) ? "" : "bad or missing value for " + option;
    std::string reason;
    std::optional<TPlant> plant = ParsePlant(value, &reason);
    if (plant) line.Plant = *plant;
    return plant ? "" : "bad --plant: " + reason;
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine result;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.Help = true;
        } else if (arg == "--version") {
            result.Version = true;
        } else if (TakesValue(arg)) {
            result.Error = i + 1 < args.size() ? TakeValue(arg, args[i + 1], result)
                                               : "bad or missing value for " + arg;
            if (!result.Error.empty()) return result;
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            result.Error = "unknown option " + arg;
            return result;
        } else if (result.TtyPath.empty()) {
            result.TtyPath = arg;
        } else {
            result.Error = "more than one tty given";
            return result;
        }
    }
    return result;
}

std::string UsageText() {
    return "Usage: servo-sim [options] [TTY]\n"
           "Simulated servo controller on a serial line.\n"
           "Without TTY it creates a pseudo-terminal, prints its path on one line\n"
           "and serves it until interrupted (Ctrl+C or SIGTERM); connect the\n"
           "console to that path. With TTY (e.g. /dev/ttyUSB0) it serves that\n"
           "line at 38400 baud, 8N1, raw.\n"
           "\n"
           "Options:\n"
           "  -h, --help          show this text and exit\n"
           "  --version           show the program name and version and exit\n"
           "  --baud N            pace the line at N baud both ways: commands are taken\n"
           "                      in and replies leave a byte time a byte\n"
           "  --rx-fifo N         with --baud: the console's port takes replies in as a\n"
           "                      16550 FIFO with trigger level N does (8 on Linux): held\n"
           "                      until N bytes are in or none came for 4 byte times\n"
           "  --frame DPS         the character frame that sets the byte time, e.g. 8E1\n"
           "                      (11 bits); default: the tty's own, 8N1 on a pty\n"
           "  --refuse CODES      answer these command codes with \"-\", e.g. WS\n"
           "  --drop-every N      leave every Nth reply unsent\n"
           "  --delay MS          hold every reply back MS milliseconds (not the probe's\n"
           "                      X, though it never overtakes a reply held before it)\n"
           "  --plant KEY=VALUE,...\n"
           "                      the motor's load and quirks; keys (default, range):\n"
           "                      inertia (1, 0.1..20, times the motor's), friction (6,\n"
           "                      0..100 drive units), viscous (0, 0..50 units per\n"
           "                      1000 pulses/s), delay (0, 0..20 ms to the shaft),\n"
           "                      noise (0, 0..20 velocity counts SD) with seed (1),\n"
           "                      resonance (0: none, or 5..200 Hz) with damping (0.05,\n"
           "                      0.001..1), kp-scale and ki-scale (1, 0.05..20: how\n"
           "                      strongly the Kp and Ki words act); e.g.\n"
           "                      --plant inertia=2,delay=5\n"
           "\n"
           "Replies the console leaves unread are held up to 64 KiB; newer ones are\n"
           "dropped, as by a full transmit FIFO.\n";
}

}  // namespace sim
