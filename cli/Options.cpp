// Parsing is one pass over the words: options with their values anywhere,
// the rest the command's words; then the command checks what it got.
#include "cli/Options.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>

#include "cli/ParamAssign.h"
#include "link/Protocol.h"

namespace cli {

namespace {

struct TWords {
    std::vector<QString> positional;
    std::map<QString, QString> values;  // option -> value (flags: empty)
    std::vector<std::string> ports;
    bool help = false, version = false;
};

struct EUsage {
    std::string what;
};

[[noreturn]] void Refuse(const QString& what) { throw EUsage{what.toStdString()}; }

const std::map<QString, bool>& KnownOptions() {  // name -> takes a value
    static const std::map<QString, bool> known{{"--port", true},   {"--json", false},   {"-o", true},
                                               {"--output", true}, {"--bank", true},    {"--dry-run", false},
                                               {"--period", true}, {"--duration", true},
                                               {"--size", true},   {"--before", true},  {"--after", true},
                                               {"--figures", true}, {"--keep-regulator", false},
                                               {"--overshoot", true}, {"--max-tests", true},
                                               {"--max-velocity", true}, {"--max-seconds", true},
                                               {"--apply", false}, {"--trace", true}};
    return known;
}

void TakeOption(const QStringList& args, qsizetype& i, TWords& words) {
    QString name = args[i], value;
    const qsizetype eq = name.indexOf('=');
    if (name.startsWith("--") && eq > 0) value = name.mid(eq + 1), name = name.left(eq);
    if (name == "--output") name = "-o";
    const auto known = KnownOptions().find(name);
    if (known == KnownOptions().end()) Refuse(QStringLiteral("unknown option '%1'").arg(name));
    if (!known->second && eq > 0) Refuse(QStringLiteral("option '%1' takes no value").arg(name));
    if (known->second && eq < 0) {
        if (++i >= args.size()) Refuse(QStringLiteral("option '%1' needs a value").arg(name));
        value = args[i];
    }
    if (name == "--port") words.ports.push_back(value.toStdString());
    else if (words.values.count(name)) Refuse(QStringLiteral("option '%1' given twice").arg(name));
    else words.values[name] = value;
}

TWords Split(const QStringList& args) {
    TWords words;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--help" || arg == "-h") words.help = true;
        else if (arg == "--version") words.version = true;
        else if (arg.startsWith('-') && arg.size() > 1) TakeOption(args, i, words);
        else words.positional.push_back(arg);
    }
    return words;
}

int WholeNumber(const QString& option, const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        Refuse(QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'").arg(option).arg(low).arg(high).arg(text));
    return value;
}

// Only the options the command takes; a required one must be there.
void Allow(const TWords& words, const QString& command, const QStringList& allowed, const QStringList& required = {}) {
    for (const auto& [name, value] : words.values)
        if (name != "--json" && name != "--trace" && !allowed.contains(name))
            Refuse(QStringLiteral("'%1' does not take %2").arg(command, name));
    for (const QString& name : required)
        if (!words.values.count(name)) Refuse(QStringLiteral("'%1' needs %2").arg(command, name));
}

void Arity(const TWords& words, qsizetype count, const QString& command) {
    if (qsizetype(words.positional.size()) > count)
        Refuse(QStringLiteral("unexpected argument '%1' after '%2'").arg(words.positional[size_t(count)], command));
    if (qsizetype(words.positional.size()) < count) Refuse(QStringLiteral("'%1' needs more arguments").arg(command));
}

void IdentCommand(const TWords& w, TOptions& o) {
    Arity(w, 1, "ident");
    Allow(w, "ident", {});
    o.command = ECommand::Ident;
}

void ParamsCommand(const TWords& w, TOptions& o) {
    const QString sub = w.positional.size() > 1 ? w.positional[1] : QString();
    if (sub == "get") {
        Arity(w, 2, "params get");
        Allow(w, "params get", {"-o"});
        o.command = ECommand::ParamsGet;
        o.file = w.values.count("-o") ? w.values.at("-o") : QString();
    } else if (sub == "set") {
        Allow(w, "params set", {"--bank", "--dry-run"});
        o.command = ECommand::ParamsSet;
        const QStringList rest(w.positional.begin() + std::min<std::ptrdiff_t>(2, std::ssize(w.positional)),
                               w.positional.end());
        if (AreAssignments(rest)) {
            QStringList errors;
            o.assign = ParamAssignments(rest, errors);
            if (!errors.isEmpty()) Refuse(errors.join(QStringLiteral("; ")));
        } else {
            Arity(w, 3, "params set");
            o.file = w.positional[2];
        }
        if (w.values.count("--bank")) o.bank = WholeNumber("--bank", w.values.at("--bank"), 0, protocol::BankCount - 1);
        o.dryRun = w.values.count("--dry-run") > 0;
    } else {
        Refuse(QStringLiteral("'params' takes 'get' or 'set', not '%1'").arg(sub));
    }
}

void BankCommand(const TWords& w, TOptions& o) {
    const QString sub = w.positional.size() > 1 ? w.positional[1] : QString();
    if (sub != "load" && sub != "save") Refuse(QStringLiteral("'bank' takes 'load N' or 'save N', not '%1'").arg(sub));
    Arity(w, 3, "bank " + sub);
    Allow(w, "bank " + sub, {});
    o.command = sub == "load" ? ECommand::BankLoad : ECommand::BankSave;
    o.bank = WholeNumber("the bank", w.positional[2], 0, protocol::BankCount - 1);
}

void ModeCommand(const TWords& w, TOptions& o) {
    if (w.positional.size() > 2) Arity(w, 2, "mode");
    Allow(w, "mode", {});
    o.command = ECommand::Mode;
    if (w.positional.size() < 2) return;
    o.mode = ModeByName(w.positional[1]);
    if (!o.mode) Refuse(QStringLiteral("unknown servo mode '%1'").arg(w.positional[1]));
}

void MeasureCommand(const TWords& w, TOptions& o) {
    Arity(w, 1, "measure");
    Allow(w, "measure", {"--period", "--duration", "-o"}, {"--period", "--duration", "-o"});
    o.command = ECommand::Measure;
    o.file = w.values.at("-o");
    o.periodMs = WholeNumber("--period", w.values.at("--period"), 1, 60000);
    bool ok = false;
    const double seconds = w.values.at("--duration").toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 86400)
        Refuse(QStringLiteral("--duration must be seconds above 0, at most 86400, not '%1'").arg(w.values.at("--duration")));
    o.durationMs = int(seconds * 1000);
}

// The window dialog's defaults and limits; every bad setting named at once.
void StepCommand(const TWords& w, TOptions& o) {
    Arity(w, 1, "step");
    Allow(w, "step", {"--size", "--before", "--after", "--period", "-o", "--figures", "--keep-regulator"}, {"-o"});
    o.command = ECommand::Step;
    o.file = w.values.at("-o");
    o.figures = w.values.count("--figures") ? w.values.at("--figures") : QString();
    const steptest::TSettings defaults;
    QStringList bad;
    const auto setting = [&w, &bad](const QString& option, int fallback, int low, int high, bool zeroBad) {
        if (!w.values.count(option)) return fallback;
        bool ok = false;
        const int value = w.values.at(option).toInt(&ok);
        if (!ok || value < low || value > high || (zeroBad && value == 0)) {
            bad << QStringLiteral("%1 from %2 to %3%4, not '%5'")
                       .arg(option).arg(low).arg(high).arg(zeroBad ? QStringLiteral(" but not 0") : QString(),
                                                           w.values.at(option));
        }
        return value;
    };
    using namespace steptest;
    o.step.step = setting("--size", defaults.step, -StepLimit, StepLimit, true);
    o.step.beforeMs = setting("--before", defaults.beforeMs, MinPhaseMs, MaxPhaseMs, false);
    o.step.afterMs = setting("--after", defaults.afterMs, MinPhaseMs, MaxPhaseMs, false);
    o.step.periodMs = setting("--period", defaults.periodMs, 1, MaxPeriodMs, false);
    o.step.resetRegulator = !w.values.count("--keep-regulator");
    if (!bad.isEmpty()) Refuse(QStringLiteral("step needs ") + bad.join(QStringLiteral("; ")));
    o.periodMs = o.step.periodMs;
}

// What a tuning may do; every bad limit named at once.
void TuneCommand(const TWords& w, TOptions& o) {
    Arity(w, 1, "tune");
    Allow(w, "tune", {"--overshoot", "--max-tests", "--size", "--max-velocity", "--max-seconds", "--apply", "--bank"});
    o.command = ECommand::Tune;
    o.apply = w.values.count("--apply") > 0;
    QStringList bad;
    const auto number = [&w, &bad](const QString& option, double fallback, double low, double high, bool whole) {
        if (!w.values.count(option)) return fallback;
        bool ok = false;
        const double value = whole ? double(w.values.at(option).toInt(&ok)) : w.values.at(option).toDouble(&ok);
        if (!ok || !(value >= low) || !(value <= high))
            bad << QStringLiteral("%1 from %2 to %3, not '%4'").arg(option).arg(low).arg(high).arg(w.values.at(option));
        return value;
    };
    const tune::TLimits defaults;
    o.tune.overshootPct = number("--overshoot", defaults.overshootPct, 0.5, 50, false);
    o.tune.maxExperiments = int(number("--max-tests", defaults.maxExperiments, 3, tune::MaxExperiments, true));
    o.tune.stepSize = int(number("--size", defaults.stepSize, 4, tune::MaxStepSize, true));
    o.tune.maxVelocity = number("--max-velocity", defaults.maxVelocity, 1, 1000, false);
    o.tune.maxSeconds = int(number("--max-seconds", defaults.maxSeconds, 10, tune::MaxSeconds, true));
    if (w.values.count("--bank")) {
        if (!o.apply) bad << QStringLiteral("--bank only with --apply: nothing is saved that is not applied");
        else o.bank = int(number("--bank", 0, 0, protocol::BankCount - 1, true));
    }
    if (!bad.isEmpty()) Refuse(QStringLiteral("tune needs ") + bad.join(QStringLiteral("; ")));
}

TOptions Command(const TWords& w) {
    if (w.positional.empty()) Refuse("no command given");
    TOptions o;
    o.ports = w.ports;
    o.json = w.values.count("--json") > 0;
    o.trace = w.values.count("--trace") ? w.values.at("--trace") : QString();
    const QString name = w.positional[0];
    const std::map<QString, std::function<void()>> commands{
        {"ident", [&] { IdentCommand(w, o); }},
        {"params", [&] { ParamsCommand(w, o); }},
        {"bank", [&] { BankCommand(w, o); }},
        {"mode", [&] { ModeCommand(w, o); }},
        {"measure", [&] { MeasureCommand(w, o); }},
        {"step", [&] { StepCommand(w, o); }},
        {"tune", [&] { TuneCommand(w, o); }}};
    const auto command = commands.find(name);
    if (command == commands.end()) Refuse(QStringLiteral("unknown command '%1'").arg(name));
    command->second();
    if (o.ports.empty()) Refuse("no --port given");
    return o;
}

}  // namespace

TParsed Parse(const QStringList& args, const std::string& version) {
    try {
        const TWords words = Split(args);
        if (words.help) return {std::nullopt, EExit::Ok, UsageText(), {}};
        if (words.version) return {std::nullopt, EExit::Ok, "servo-cli " + version + "\n", {}};
        return {Command(words), EExit::Ok, {}, {}};
    } catch (const EUsage& e) {
        return {std::nullopt, EExit::Usage, {}, "servo-cli: " + e.what + " (see 'servo-cli --help')\n"};
    }
}

}  // namespace cli
