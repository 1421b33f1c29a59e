#include "cli/Options.h"

#include <QString>

#include "link/Protocol.h"
#include "runs/StepPlan.h"

namespace cli {

std::string UsageText() {
    return QString::fromUtf8(
           "Usage: servo-cli --port PORT [--port PORT]... [--json] [--trace FILE] COMMAND [ARGS]\n"
           "       servo-cli --help | --version\n"
           "Sets up servo controllers on serial lines without a window; several\n"
           "--port options run the command on every controller at once.\n"
           "\n"
           "Commands:\n"
           "  ident                          print the controller's identification\n"
           "  params get [-o FILE]           read the six parameters; print them, or save\n"
           "                                 a parameter file (FILE.N.json for port N of several)\n"
           "  params set FILE [--bank N] [--dry-run]\n"
           "                                 print what differs, write the file's six, read\n"
           "                                 them back; save bank N (0..%1) only when all matched\n"
           "  params set NAME=VALUE... [--bank N] [--dry-run]\n"
           "                                 the same for the parameters named (Kf, Kp, Ki or\n"
           "                                 #1..#6), values as the window's edits take them:\n"
           "                                 params set Kp=1.6 Ki=0.25\n"
           "  bank load N | bank save N      load or save EEPROM bank N (0..%1)\n"
           "  mode [NAME]                    print the servo mode, or set it and read it back:\n"
           "                                 pwm, torque, velocity, position (or the Russian names)\n"
           "  measure --period MS --duration S -o FILE.csv\n"
           "                                 poll velocity samples every MS ms for S seconds,\n"
           "                                 written as the window's CSV export\n"
           "  step [--size N] [--before MS] [--after MS] [--period MS] [--keep-regulator]\n"
           "       -o FILE.csv [--figures FILE.json]\n"
           "                                 the guided step test in the velocity mode: drive 0,\n"
           "                                 wait until the motor rests, reset the regulator (not\n"
           "                                 with --keep-regulator), measure every MS ms, drive N\n"
           "                                 (-%2..%2, not 0) once the record reaches --before ms,\n"
           "                                 drive 0 and stop --after ms later (both %3..%4 ms);\n"
           "                                 defaults as the window's dialog: %6, %7, %8, %9 ms.\n"
           "                                 The CSV is a run the window opens, --figures its\n"
           "                                 step figures.\n"
           "                                 Ctrl-C, a lost line or %5 time-outs in a row abort it:\n"
           "                                 drive 0, the CSV kept marked aborted\n"
           "  tune [--overshoot PCT] [--max-tests N] [--size N] [--max-velocity KIMP]\n"
           "       [--max-seconds S] [--apply [--bank N]]\n"
           "                                 find Kp and Ki (#3, #4) for the fastest settling with\n"
           "                                 overshoot at most PCT (5) and no steady-state error, by\n"
           "                                 step tests of N (64) in the velocity mode (set first);\n"
           "                                 an experiment over KIMP kImp/s (24) or oscillating ever\n"
           "                                 more is stopped at once; at most N tests (12), S s (60).\n"
           "                                 The starting words are written back at the end, unless\n"
           "                                 --apply keeps the tuned ones (--bank also saves them)\n"
           "\n"
           "Ports: a device path (/dev/ttyUSB0), rfc2217://HOST:PORT, socket://HOST:PORT,\n"
           "or 'sim' (a simulated controller of its own on a pseudo-terminal).\n"
           "\n"
           "Options:\n"
           "  --port PORT       a controller's port; may be given many times\n"
           "  --json            the summary as a JSON array instead of a table\n"
           "  --trace FILE      every frame and reply on the line, a line each (time, direction,\n"
           "                    hex, meaning, outcome, round trip); FILE.N.ext for port N of several\n"
           "  -h, --help        show this text and exit\n"
           "  --version         show the program name and version and exit\n"
           "\n"
           "The summary (one line a port) goes to standard output, progress to standard error.\n"
           "\n"
           "Exit codes (with several ports the worst, in this order first):\n"
           "  2 usage error, 8 step test or tuning stopped by Ctrl-C (SIGINT) or SIGTERM, 3 parameter file refused or output file not written,\n"
           "  5 port not opened or line lost, 6 no controller answered, 7 time-out,\n"
           "  4 command refused by the controller, 1 verify mismatch, 9 no gains met the tuning's target, 0 success.\n")
        .arg(protocol::BankCount - 1)
        .arg(steptest::StepLimit)
        .arg(steptest::MinPhaseMs)
        .arg(steptest::MaxPhaseMs)
        .arg(protocol::SilentAfterTimeouts)
        .arg(steptest::TSettings().step)
        .arg(steptest::TSettings().beforeMs)
        .arg(steptest::TSettings().afterMs)
        .arg(steptest::TSettings().periodMs)
        .toStdString();
}

}  // namespace cli
