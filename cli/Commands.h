// The commands, each run against one connected controller. Every function
// here runs on the thread of that controller's port (TPortRunner's).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "cli/DeviceSession.h"
#include "cli/ExitCode.h"
#include "cli/Options.h"
#include "paramset/ParamFile.h"

namespace cli {

// What one port's run came to: a line of the summary.
struct TDeviceResult {
    std::string port;          // as given on the command line
    QString device;            // the path opened (a simulator's pty for "sim")
    QString ident;
    EExit code = EExit::Ok;
    QString result;            // what happened, one line
    QStringList differences;   // "label: controller X, file Y", one a differing parameter
    // A step test's figures as numbers, or a tuning's experiments, words and
    // figures ("experiments" in it); empty for other commands.
    QJsonObject figures;
};

struct TCommandInput {
    const TOptions& options;
    std::optional<paramfile::TParamSet> fileSet;  // params set: checked before any port opened
    QString output;                               // this port's output file, when one is asked for
    QString figures;                              // this port's step figures file, when asked for
};

void RunCommand(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result);

// Sets the code and the line of a step that failed; the worse code stays.
void Fail(TDeviceResult& result, EExit code, const QString& text);

void RunParamsGet(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result);
void RunParamsSet(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result);
void RunBank(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result);
void RunMode(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result);
void RunMeasure(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result);
void RunStep(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result);
void RunTune(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result);

// One transaction named `step` ("m"); false, and the result failed, when it
// did not end accepted.
bool Step(TDeviceSession& session, TDeviceResult& result, const char* step,
          const std::function<bool(TControllerLink&)>& send);

// "no answer: m", "refused: S", "unreadable reply: R2": a failed step in
// servo-cli's own words (the shared libraries give the outcome).
QString StepFailure(TLinkState state, const QString& step);

}  // namespace cli
