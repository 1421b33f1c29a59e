// The command line of servo-cli: global options, the command and its own
// options, every value checked before a port is touched.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

#include "cli/ExitCode.h"
#include "runs/StepPlan.h"
#include "tune/Limits.h"

namespace cli {

enum class ECommand { Ident, ParamsGet, ParamsSet, BankLoad, BankSave, Mode, Measure, Step, Tune };

struct TOptions {
    std::vector<std::string> ports;  // in the order given; "sim" starts a simulator each
    bool json = false;
    QString trace;  // --trace FILE: every frame and reply of a port, FILE.N for port N of several
    ECommand command = ECommand::Ident;
    QString file;                 // params get -o, params set FILE, measure -o
    std::map<int, uint16_t> assign;  // params set NAME=VALUE...: index -> word
    std::optional<int> bank;      // bank load/save N, params set --bank N
    bool dryRun = false;
    std::optional<int> mode;      // mode NAME
    int periodMs = 0;
    int durationMs = 0;
    steptest::TSettings step;  // step: its size, times and period
    QString figures;           // step --figures: the figures' JSON file, if asked
    tune::TLimits tune;        // tune: what it may do
    bool apply = false;        // tune --apply: keep the tuned words (else the starting ones go back)
};

// What the command line asks: a run, or an answer printed without one
// (help, version, a usage error) with its exit code.
struct TParsed {
    std::optional<TOptions> options;
    EExit exit = EExit::Ok;
    std::string out;  // for standard output
    std::string err;  // one line for standard error
};

TParsed Parse(const QStringList& args, const std::string& version);

// The mode's number for its Russian name or an ASCII alias, any case.
std::optional<int> ModeByName(const QString& name);
QString ModeName(int mode);

// The --help text, exit codes included.
std::string UsageText();

}  // namespace cli
