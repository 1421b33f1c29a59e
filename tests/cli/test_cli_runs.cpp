// servo-cli run as a child process against simulated controllers on ptys
// and behind the real ser2net: every exit code, a rack of four set up at
// once with one refusing a write, and files the window reads and writes.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "paramset/ParamFile.h"
#include "sim/PtySimulator.h"
#include "tests/cli/rack/Rack.h"
#include "tests/support/PtyPair.h"

namespace {

constexpr int RunLimitMs = 60000;

struct TCliRun {
    int code = -1;
    QString out, err;
    std::string Said() const { return (out + err).toStdString(); }
    QJsonArray Summary() const { return QJsonDocument::fromJson(out.toUtf8()).array(); }
};

TCliRun Cli(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(SERVO_CLI_BINARY), args);
    EXPECT_TRUE(process.waitForFinished(RunLimitMs)) << args.join(' ').toStdString();
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QStringList Ports(const std::vector<std::string>& ports) {
    QStringList args;
    for (const std::string& port : ports) args << "--port" << QString::fromStdString(port);
    return args;
}

// #1 -5, Kf 2, Kp 2.5, Ki 0.125, #5 150, #6 128: every word unlike the simulator's defaults.
const paramfile::TWords Wanted{65531, 512, 640, 32, 150, 128};

QString ParamFile(const QTemporaryDir& dir, const paramfile::TWords& words) {
    const QString path = dir.filePath("set.json");
    paramfile::TParamSet set;
    set.words = words;
    EXPECT_FALSE(paramfile::Save(path, set));
    return path;
}

sim::TParamSet Words(const paramfile::TWords& words) { return {words[0], words[1], words[2], words[3], words[4], words[5]}; }

struct TCodeCase {
    const char* name;
    sim::TFaults faults;
    QStringList args;  // after the port; "FILE" stands for a parameter file
    int code;
    const char* said = nullptr;  // in the summary's result, where given
};

}  // namespace

TEST(CliRuns, EveryExitCodeIsReached) {
    sim::TFaults refuseSave, silentMode, keepLowByte, refuseKp, silentWrite, garbledWrite;
    refuseKp.RefuseParamWrite = 2, garbledWrite.WrongStatus = '?';
    silentWrite.ReplyCodes = garbledWrite.ReplyCodes = "W", silentWrite.DropEvery = 2;  // W0 answered, W1 not
    refuseSave.RefuseCodes = "S";
    silentMode.ReplyCodes = "m", silentMode.DropEvery = 1;
    keepLowByte.StoredWordMask = 0x00FF;
    const std::vector<TCodeCase> cases{
        {"success", {}, {"ident"}, 0},
        {"mismatch", keepLowByte, {"params", "set", "FILE"}, 1},
        {"refused", refuseSave, {"bank", "save", "1"}, 4, "refused: S"},
        {"time-out", silentMode, {"mode"}, 7, "no answer: m"},
        {"refused write", refuseKp, {"params", "set", "FILE", "--bank", "1"}, 4, "refused: W2 (Kp (#3))"},
        {"unanswered write", silentWrite, {"params", "set", "FILE", "--bank", "1"}, 7, "no answer: W1 (Kf (#2))"},
        {"garbled write", garbledWrite, {"params", "set", "FILE", "--bank", "1"}, 4, "unreadable reply: W0 (#1 (signed))"},
    };
    QTemporaryDir dir;
    for (const TCodeCase& c : cases) {
        sim::TSimOptions options;
        options.Faults = c.faults;
        sim::TPtySimulator simulator(options);
        ASSERT_TRUE(simulator.Start());
        QStringList args = Ports({simulator.Path()}) << "--json";
        for (const QString& arg : c.args) args << (arg == "FILE" ? ParamFile(dir, Wanted) : arg);
        const TCliRun run = Cli(args);
        EXPECT_EQ(run.code, c.code) << c.name << ": " << run.Said();
        ASSERT_EQ(run.Summary().size(), 1) << c.name << ": " << run.Said();
        EXPECT_EQ(run.Summary()[0].toObject()["exitCode"].toInt(), c.code) << c.name;
        if (c.said) {
            EXPECT_TRUE(run.Summary()[0].toObject()["result"].toString().contains(c.said)) << run.Said();
            EXPECT_EQ(simulator.State().Banks[1], sim::DefaultParams) << c.name << ": a bank saved";
        }
    }
    testsupport::TPtyPair silent;  // a line with nothing at its far end
    EXPECT_EQ(Cli(Ports({silent.SlavePath()}) << "ident").code, 6);
    EXPECT_EQ(Cli(Ports({"/nonexistent/ttyX"}) << "ident").code, 5);
    EXPECT_EQ(Cli(Ports({"sim"}) << "bank" << "load" << "7").code, 2);
    QFile damaged(dir.filePath("damaged.json"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write(R"({"format": "servo-params", "version": 7})") > 0);
    damaged.close();
    const TCliRun refused = Cli(Ports({"sim"}) << "params" << "set" << damaged.fileName());
    EXPECT_EQ(refused.code, 3);
    EXPECT_TRUE(refused.err.contains("version")) << refused.Said();
}

TEST(CliRuns, RackOfFourThroughOneSer2NetSetAtOnceOneRefusingAWrite) {
    clirack::TRack rack(4, ser2net::EMode::Rfc2217);
    sim::TFaults refuseKp;
    refuseKp.RefuseParamWrite = 2;
    std::string error;
    ASSERT_TRUE(rack.Start(&error)) << error;
    rack.Sim(2).SetFaults(refuseKp);
    QTemporaryDir dir;
    const TCliRun run = Cli(Ports(rack.Addresses()) << "--json" << "params" << "set" << ParamFile(dir, Wanted) << "--bank" << "2");
    EXPECT_EQ(run.code, 4) << run.Said();
    const QJsonArray summary = run.Summary();
    ASSERT_EQ(summary.size(), 4) << run.Said();
    for (size_t i = 0; i < 4; ++i) {
        const QJsonObject line = summary[qsizetype(i)].toObject();
        EXPECT_EQ(line["differences"].toArray().size(), 6) << i;
        const sim::TControllerState state = rack.Sim(i).State();
        if (i == 2) {
            EXPECT_EQ(line["status"].toString(), "refused");
            EXPECT_TRUE(line["result"].toString().contains("Kp (#3)")) << line["result"].toString().toStdString();
            EXPECT_FALSE(line["result"].toString().contains("Ki (#4)")) << line["result"].toString().toStdString();
            EXPECT_EQ(state.Banks[2], sim::DefaultParams) << "a bank saved after a refusal";
            EXPECT_EQ(state.Params[3], sim::DefaultParams[3]) << "Ki written after the refused Kp";
        } else {
            EXPECT_EQ(line["status"].toString(), "ok") << i << ": " << line["result"].toString().toStdString();
            EXPECT_EQ(state.Params, Words(Wanted)) << i;
            EXPECT_EQ(state.Banks[2], Words(Wanted)) << i;
        }
    }
}

TEST(CliRuns, AFileReadFromOneControllerSetsAnother) {
    sim::TPtySimulator from, to;
    ASSERT_TRUE(from.Start() && to.Start());
    from.SetMode(sim::smVelocity);
    for (int i = 0; i < 6; ++i) from.SetParam(i, Wanted[size_t(i)]);
    QTemporaryDir dir;
    const QString path = dir.filePath("from.json");
    ASSERT_EQ(Cli(Ports({from.Path()}) << "params" << "get" << "-o" << path).code, 0);
    const paramfile::TReadResult file = paramfile::Load(path);
    ASSERT_TRUE(file.set) << file.refusal.field.toStdString();
    EXPECT_EQ(file.set->servoMode, sim::smVelocity);
    EXPECT_EQ(file.set->controller, "SRV2 servo ctl v1.4+");
    const TCliRun dry = Cli(Ports({to.Path()}) << "params" << "set" << path << "--dry-run");
    EXPECT_EQ(dry.code, 0) << dry.Said();
    EXPECT_EQ(to.State().Params, sim::DefaultParams) << "a dry run wrote";
    EXPECT_TRUE(dry.out.contains("Kp (#3): controller 1, file 2.5")) << dry.Said();
    EXPECT_EQ(Cli(Ports({to.Path()}) << "params" << "set" << path).code, 0);
    EXPECT_EQ(to.State().Params, Words(Wanted));
}

TEST(CliRuns, MeasureWritesTheChartsCsv) {
    sim::TPtySimulator simulator;
    ASSERT_TRUE(simulator.Start());
    simulator.SetMode(sim::smVelocity);
    QTemporaryDir dir;
    const QString path = dir.filePath("v.csv");
    const TCliRun run = Cli(Ports({simulator.Path()}) << "measure" << "--period" << "20" << "--duration" << "1" << "-o" << path);
    ASSERT_EQ(run.code, 0) << run.Said();
    QFile csv(path);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    // Six comment lines, the header, and at least the two rows whose order is checked.
    ASSERT_GE(lines.size(), 9) << "fewer than 2 samples in a second";
    EXPECT_EQ(lines[0], QString::fromUtf8("# Серво-режим: Скорость"));
    EXPECT_EQ(lines[6], QString::fromUtf8("Время (мсек),Series1 (килоИмпульсов/сек),"
                                          "Series2 (килоИмпульсов/сек),Series3 (килоИмпульсов/сек)"));
    int previous = -1;
    for (qsizetype i = 7; i < lines.size(); ++i) {
        const QStringList cells = lines[i].split(',');
        ASSERT_EQ(cells.size(), 4) << lines[i].toStdString();
        const int ms = cells[0].toInt();
        EXPECT_TRUE(ms > previous && ms % 5 == 0) << lines[i].toStdString();
        previous = ms;
    }
}

// Tuning without a file: the named parameters alone, converted as the
// window's edits convert them (0.1 is the nearest word, 26), verified and
// saved; every bad assignment named at once, before any port is opened.
TEST(CliRuns, NamedParametersChangeThoseAloneAsTheWindowConvertsThem) {
    sim::TPtySimulator simulator;
    ASSERT_TRUE(simulator.Start());
    const TCliRun run = Cli(Ports({simulator.Path()}) << "params" << "set" << "Kp=0.1" << "ki=0.5" << "#6=7"
                                                       << "--bank" << "1");
    ASSERT_EQ(run.code, 0) << run.Said();
    sim::TParamSet expected = sim::DefaultParams;
    expected[2] = 26, expected[3] = 128, expected[5] = 7;
    EXPECT_EQ(simulator.State().Params, expected);
    EXPECT_EQ(simulator.State().Banks[1], expected);
    const TCliRun bad = Cli(Ports({simulator.Path()}) << "params" << "set" << "Kx=1" << "Kp=300" << "Ki=abc");
    EXPECT_EQ(bad.code, 2);
    for (const char* named : {"no parameter Kx", "Kp (#3) takes 0 to 255.99609375, not '300'", "'abc' is not a number"})
        EXPECT_TRUE(bad.err.contains(QString::fromUtf8(named))) << bad.Said();
    EXPECT_EQ(simulator.State().Params, expected);
}

// --trace: one file a port, each with that port's own exchanges in order,
// a refusal worded in the file; a trace that cannot be written opens no port.
TEST(CliRuns, TraceWritesAFileAPortWithEveryExchange) {
    sim::TSimOptions refusing;
    refusing.Faults.RefuseCodes = "m";
    sim::TPtySimulator plain, refused(refusing);
    ASSERT_TRUE(plain.Start() && refused.Start());
    QTemporaryDir dir;
    const QString trace = dir.filePath("trace.txt");
    const TCliRun run = Cli(Ports({plain.Path(), refused.Path()}) << "--trace" << trace << "mode");
    EXPECT_EQ(run.code, 4) << run.Said();
    for (const auto& [n, last] : {std::pair{1, "accepted"}, std::pair{2, "refused"}}) {
        QFile file(dir.filePath(QStringLiteral("trace.%1.txt").arg(n)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << n;
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 5) << lines.join('\n').toStdString();  // probe, I and its reply, m and its reply
        EXPECT_TRUE(lines[0].contains("FF") && lines[0].contains("probe") && lines[0].endsWith("answered"));
        EXPECT_TRUE(lines[3].contains(QString::fromUtf8("→  6D 00")) && lines[3].endsWith(" m")) << lines[3].toStdString();
        EXPECT_TRUE(lines[4].contains(last)) << lines[4].toStdString();
    }
    EXPECT_FALSE(QFile::exists(trace));
    EXPECT_EQ(Cli(Ports({plain.Path()}) << "--trace" << dir.filePath("no/such/dir/t.txt") << "ident").code, 3);
    EXPECT_EQ(plain.FrameCount(), 2u) << "the refused trace opened no port";
}
