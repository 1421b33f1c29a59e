// The command line as scripts meet it: what is refused as a usage error, what
// a good line asks for, and the rules the exit code and file names follow.
#include <gtest/gtest.h>

#include "cli/Options.h"
#include "cli/Program.h"

using namespace cli;

namespace {

TParsed P(const QString& line) { return Parse(line.split(' ', Qt::SkipEmptyParts), "9.9"); }

}  // namespace

TEST(Options, BadLinesAreUsageErrorsOfOneLine) {
    for (const char* line : {"", "--port sim", "--port sim frob", "--port sim --frob ident", "ident",
                             "--port sim bank load 7", "--port sim bank load x", "--port sim bank swap 1",
                             "--port sim params set", "--port sim params get extra", "--port sim ident -o f",
                             "--port sim mode hover", "--port sim measure --period x --duration 1 -o f.csv",
                             "--port sim measure --period 10 --duration 0 -o f.csv",
                             "--port sim measure --period 10 -o f.csv", "--port sim params set f --bank 5",
                             "--port sim params get -o a -o b", "--port", "--port sim --json=yes ident"}) {
        const TParsed parsed = P(QString::fromLatin1(line));
        EXPECT_FALSE(parsed.options) << line;
        EXPECT_EQ(parsed.exit, EExit::Usage) << line;
        EXPECT_EQ(parsed.err.find('\n'), parsed.err.size() - 1) << line << ": " << parsed.err;
        EXPECT_TRUE(parsed.out.empty()) << line;
    }
}

TEST(Options, GoodLinesAskForWhatTheySay) {
    const TParsed set = P("--port sim params set f.json --port=/dev/ttyUSB0 --bank 4 --dry-run --json");
    ASSERT_TRUE(set.options) << set.err;
    EXPECT_EQ(set.options->command, ECommand::ParamsSet);
    EXPECT_EQ(set.options->ports, (std::vector<std::string>{"sim", "/dev/ttyUSB0"}));
    EXPECT_EQ(set.options->file, "f.json");
    EXPECT_EQ(set.options->bank, 4);
    EXPECT_TRUE(set.options->dryRun && set.options->json);

    const TParsed measure = P("measure --period 16 --duration 2.5 -o v.csv --port sim");
    ASSERT_TRUE(measure.options) << measure.err;
    EXPECT_EQ(measure.options->periodMs, 16);
    EXPECT_EQ(measure.options->durationMs, 2500);

    const TParsed bank = P("--port sim bank save 0");
    ASSERT_TRUE(bank.options);
    EXPECT_EQ(bank.options->command, ECommand::BankSave);
    EXPECT_EQ(bank.options->bank, 0);
}

TEST(Options, ModesByRussianNameOrAlias) {
    const std::vector<std::pair<QString, int>> names{
        {"pwm", 0}, {"TORQUE", 1}, {"velocity", 2}, {"position", 3},
        {QString::fromUtf8("Скорость"), 2}, {QString::fromUtf8("крутящий момент"), 1}};
    for (const auto& [name, mode] : names) {
        // A name with a space comes as one argument, as a shell passes it quoted.
        const TParsed parsed = Parse({"--port", "sim", "mode", name}, "9.9");
        ASSERT_TRUE(parsed.options) << name.toStdString() << parsed.err;
        EXPECT_EQ(parsed.options->mode, mode) << name.toStdString();
    }
}

TEST(Options, HelpAndVersionNeedNoPort) {
    EXPECT_EQ(P("--version").out, "servo-cli 9.9\n");
    EXPECT_NE(P("-h").out.find("Exit codes"), std::string::npos);
    EXPECT_EQ(P("--help").exit, EExit::Ok);
}

TEST(Options, WorstCodeWinsInTheDocumentedOrder) {
    const std::vector<EExit> worstFirst{EExit::Usage,    EExit::BadFile, EExit::PortFailed, EExit::NoController,
                                        EExit::TimedOut, EExit::Refused, EExit::Mismatch,   EExit::Ok};
    for (size_t i = 0; i < worstFirst.size(); ++i)
        for (size_t j = i; j < worstFirst.size(); ++j) {
            EXPECT_EQ(Worst(worstFirst[i], worstFirst[j]), worstFirst[i]) << i << ' ' << j;
            EXPECT_EQ(Worst(worstFirst[j], worstFirst[i]), worstFirst[i]) << i << ' ' << j;
        }
}

TEST(Options, EachOfSeveralPortsWritesItsOwnFile) {
    EXPECT_EQ(OutputPath("out/p.json", 0, 1), "out/p.json");
    EXPECT_EQ(OutputPath("out/p.json", 2, 4), "out/p.3.json");
    EXPECT_EQ(OutputPath("v", 0, 2), "v.1");
}
