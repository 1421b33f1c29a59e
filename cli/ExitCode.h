// The exit codes scripts rely on, and which of two is the worse one when
// several controllers ran. The numbers are documented in --help and the man
// page: never renumber them.
#pragma once

namespace cli {

enum class EExit : int {
    Ok = 0,
    Mismatch = 1,      // a word read back (or the mode) is not what was written
    Usage = 2,         // unknown command or option, bad value
    BadFile = 3,       // a parameter file refused, or an output file not written
    Refused = 4,       // the controller answered "-" or an unreadable reply
    PortFailed = 5,    // the port could not be opened, or the line was lost
    NoController = 6,  // the port opened but nothing answered the probe
    TimedOut = 7,      // a command got no answer within 1 s
    Interrupted = 8,   // SIGINT or SIGTERM stopped a step test or a tuning
    NotTuned = 9,      // a tuning found no gains that met its target
};

// Worst first: usage, interrupted, file, port, no controller, time-out, refused, mismatch, not tuned, ok.
EExit Worst(EExit a, EExit b);
// "ok", "mismatch", ... as the summary shows a device's result.
const char* ExitName(EExit code);

}  // namespace cli
