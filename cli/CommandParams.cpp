// params get and params set: the six read, saved as the window's parameter
// file, or written from one, read back, compared and saved into a bank.
#include <QDateTime>

#include "cli/Commands.h"
#include "paramset/ParamSync.h"

namespace cli {

namespace {

using paramwords::ParamCount;

bool ReadSix(TControllerLink& link, TDeviceResult& result, paramsync::TReadBack& back) {
    back = paramsync::ReadAll(link);
    if (!back.Complete())
        Fail(result, ExitOf(back.failed), StepFailure(back.failed, back.FailedStep()));
    return back.Complete();
}

QString Shown(const paramsync::TWords& words) {
    QStringList shown;
    for (int i = 0; i < ParamCount; ++i)
        shown << paramwords::Label(i) + '=' + paramwords::Text(i, words[size_t(i)]);
    return shown.join(QStringLiteral(", "));
}

QString Differs(int index, uint16_t controller, uint16_t file) {
    return QStringLiteral("%1: controller %2, file %3")
        .arg(paramwords::Label(index), paramwords::DistinctText(index, controller, file, "word"),
             paramwords::DistinctText(index, file, controller, "word"));
}

QStringList Differences(const paramsync::TWords& controller, const paramsync::TWords& file) {
    QStringList lines;
    for (int i = 0; i < ParamCount; ++i)
        if (controller[size_t(i)] != file[size_t(i)]) lines << Differs(i, controller[size_t(i)], file[size_t(i)]);
    return lines;
}

// Each parameter the controller does not hold as the file has it.
QString Mismatches(const paramsync::TWords& wanted, const paramsync::TReadBack& back) {
    const auto held = paramsync::Compare(wanted, back);
    QStringList names;
    for (int i = 0; i < ParamCount; ++i)
        if (held[size_t(i)] != paramsync::EHeld::Same) names << Differs(i, back.words[size_t(i)], wanted[size_t(i)]);
    return QStringLiteral("verify mismatch: ") + names.join(QStringLiteral("; "));
}

// "refused: W2 (Kp (#3))": the write that did not end accepted, and its parameter.
QString WriteFailure(int index, TLinkState state) {
    return QStringLiteral("%1 (%2)").arg(StepFailure(state, paramsync::WriteStep(index)), paramwords::Label(index));
}

void SaveFile(TDeviceSession& session, const paramsync::TWords& words, const QString& path, TDeviceResult& result) {
    if (!Step(session, result, "m", [](TControllerLink& link) { return link.SendGetMode(); })) return;
    paramfile::TParamSet set;
    set.words = words;
    set.controller = session.Ident();
    set.time = QDateTime::currentDateTimeUtc();
    set.servoMode = session.Mode();
    if (const auto error = paramfile::Save(path, set)) {
        Fail(result, EExit::BadFile, QStringLiteral("%1 not written: %2").arg(path, *error));
        return;
    }
    result.result = QStringLiteral("saved to ") + path;
}

}  // namespace

void RunParamsGet(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    paramsync::TReadBack back;
    if (!ReadSix(session.Link(), result, back)) return;
    if (in.output.isEmpty()) result.result = Shown(back.words);
    else SaveFile(session, back.words, in.output, result);
}

void RunParamsSet(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    paramsync::TReadBack before;
    if (!ReadSix(session.Link(), result, before)) return;
    // Named parameters change those alone; a file gives all six.
    paramsync::TWords wanted = in.fileSet ? in.fileSet->words : before.words;
    for (const auto& [index, word] : in.options.assign) wanted[size_t(index)] = word;
    result.differences = Differences(before.words, wanted);
    if (in.options.dryRun) {
        result.result = QStringLiteral("dry run: %1 to write").arg(result.differences.size());
        return;
    }
    // A controller that refused one write is sent no more, and nothing is saved.
    std::optional<uint8_t> bank;
    if (in.options.bank) bank = uint8_t(*in.options.bank);
    const paramsync::TStored stored =
        paramsync::WriteVerifySave(session.Link(), wanted, bank, paramsync::EOnFailure::Stop);
    if (const int failed = stored.writes.FirstFailed(); failed >= 0) {
        const TLinkState state = stored.writes.states[size_t(failed)];
        return Fail(result, ExitOf(state), WriteFailure(failed, state));
    }
    const paramsync::TReadBack& back = *stored.back;
    if (!back.Complete())
        return Fail(result, ExitOf(back.failed), StepFailure(back.failed, back.FailedStep()));
    if (!stored.Held(wanted)) return Fail(result, EExit::Mismatch, Mismatches(wanted, back));
    result.result = QStringLiteral("written, verified");
    if (!bank) return;
    if (stored.bank != paramsync::EBankSave::Saved)
        return Fail(result, ExitOf(stored.saveState), StepFailure(stored.saveState, QStringLiteral("S")));
    result.result += QStringLiteral(", saved in bank %1").arg(*bank);
}

}  // namespace cli
