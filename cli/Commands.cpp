#include "cli/Commands.h"

#include "paramset/ParamSync.h"

namespace cli {

void Fail(TDeviceResult& result, EExit code, const QString& text) {
    result.code = Worst(result.code, code);
    result.result = text;
}

QString StepFailure(TLinkState state, const QString& step) {
    const char* how = state == lsRefused ? "refused" : state == lsUnparsed ? "unreadable reply" : "no answer";
    return QStringLiteral("%1: %2").arg(QLatin1String(how), step);
}

bool Step(TDeviceSession& session, TDeviceResult& result, const char* step,
          const std::function<bool(TControllerLink&)>& send) {
    const TLinkState state = session.Transact(send);
    if (state != lsDone) Fail(result, ExitOf(state), StepFailure(state, QString::fromLatin1(step)));
    return state == lsDone;
}

void RunCommand(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    switch (in.options.command) {
    case ECommand::Ident: result.result = QStringLiteral("identified"); return;
    case ECommand::ParamsGet: RunParamsGet(session, in, result); return;
    case ECommand::ParamsSet: RunParamsSet(session, in, result); return;
    case ECommand::BankLoad: [[fallthrough]];
    case ECommand::BankSave: RunBank(session, in, result); return;
    case ECommand::Mode: RunMode(session, in, result); return;
    case ECommand::Measure: RunMeasure(session, in, result); return;
    case ECommand::Step: RunStep(session, in, result); return;
    case ECommand::Tune: RunTune(session, in, result); return;
    }
}

}  // namespace cli
