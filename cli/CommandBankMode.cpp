// bank load/save and mode: one command each, the mode read back after a set.
#include "cli/Commands.h"

namespace cli {

void RunBank(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    const bool load = in.options.command == ECommand::BankLoad;
    const auto bank = uint8_t(*in.options.bank);
    if (!Step(session, result, load ? "L" : "S",
              [&](TControllerLink& link) { return load ? link.SendLoadBank(bank) : link.SendSaveBank(bank); }))
        return;
    result.result = QStringLiteral("bank %1 %2").arg(bank).arg(load ? "loaded" : "saved");
}

void RunMode(TDeviceSession& session, const TCommandInput& in, TDeviceResult& result) {
    const std::optional<int> wanted = in.options.mode;
    if (wanted && !Step(session, result, "M", [&](TControllerLink& l) { return l.SendSetMode(uint8_t(*wanted)); }))
        return;
    if (!Step(session, result, "m", [](TControllerLink& link) { return link.SendGetMode(); })) return;
    if (wanted && session.Mode() != *wanted) {
        Fail(result, EExit::Mismatch,
             QStringLiteral("mode set to %1 reads back %2").arg(ModeName(*wanted), ModeName(session.Mode())));
        return;
    }
    result.result = (wanted ? QStringLiteral("mode set: ") : QStringLiteral("mode: ")) + ModeName(session.Mode());
}

}  // namespace cli
