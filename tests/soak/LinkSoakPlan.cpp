#include "tests/soak/LinkSoakPlan.h"

#include "tests/support/SimFrames.h"

#include "sim/Controller.h"

namespace soak {

namespace {

// A write is followed by a read that shows it: 'm' after 'M', 'z' after 'P',
// 'R' after 'W'; 'L' loads a bank saved two rounds before, which the
// following reads show.
constexpr std::array<uint8_t, 12> Cycle = {'I', 'M', 'm', 'P', 'z', 'p', 'V', 'W', 'R', 'S', 'L', 'B'};
constexpr uint64_t DropPeriod = 20000;
constexpr uint64_t PhaseBlock = 1000;
constexpr int32_t Span24 = 1 << 24;

}  // namespace

// In each block of 1000 steps: 100 refused, 100 with a wrong status, 100
// with garbage after the reply, 30 split into 2-byte pieces, the rest clean;
// every 20,000th reply is dropped.
EPhase PhaseOf(uint64_t step) {
    if (step % DropPeriod == DropPeriod - 1) return EPhase::Drop;
    const uint64_t k = step % PhaseBlock;
    if (k < 100) return EPhase::Refuse;
    if (k < 200) return EPhase::WrongStatus;
    if (k < 300) return EPhase::GarbageAfter;
    if (k < 330) return EPhase::Split;
    return EPhase::Clean;
}

const char* PhaseName(EPhase phase) {
    switch (phase) {
    case EPhase::Clean: return "clean";
    case EPhase::Refuse: return "refuse";
    case EPhase::WrongStatus: return "wrong status";
    case EPhase::GarbageAfter: return "garbage after";
    case EPhase::Split: return "split";
    case EPhase::Drop: return "drop";
    }
    return "?";
}

sim::TFaults FaultsOf(EPhase phase) {
    sim::TFaults faults;
    switch (phase) {
    case EPhase::Clean: break;
    case EPhase::Refuse: faults.RefuseAll = true; break;
    case EPhase::WrongStatus:
        // Not the identification: its text would never end, and it would time out.
        faults.ReplyCodes = "MmzpPVSLRWB";
        faults.WrongStatus = uint8_t('?');
        break;
    case EPhase::GarbageAfter: faults.GarbageAfter = {0x00, '+', '-', 0x55}; break;
    case EPhase::Split:
        faults.ChunkBytes = 2;
        faults.ChunkGapMs = 1;
        break;
    case EPhase::Drop: faults.DropNext = 1; break;
    }
    return faults;
}

bool Executes(EPhase phase) { return phase != EPhase::Refuse; }

bool Checked(EPhase phase) {
    return phase == EPhase::Clean || phase == EPhase::GarbageAfter || phase == EPhase::Split;
}

TLinkState ExpectedState(EPhase phase, uint8_t code) {
    // The identification ends at "+" or "-" alike, and is accepted either way.
    switch (phase) {
    case EPhase::Drop: return lsTimedOut;
    case EPhase::Refuse: return code == 'I' ? lsDone : lsRefused;
    case EPhase::WrongStatus: return code == 'I' ? lsDone : lsUnparsed;
    default: return lsDone;
    }
}

TCommand CommandOf(uint64_t step) {
    const uint64_t round = step / Cycle.size();
    TCommand command;
    command.code = Cycle[step % Cycle.size()];
    switch (command.code) {
    case 'M': command.arg = uint8_t(round % 4); break;
    case 'S': command.arg = uint8_t(round % sim::BankCount); break;
    case 'L': command.arg = uint8_t((round + 2) % sim::BankCount); break;
    case 'W':
        command.arg = uint8_t(round % sim::ParamCount);
        command.value = int32_t(uint16_t((round * 2654435761u) >> 13));
        break;
    // A third of the time the word just written, otherwise one that earlier
    // writes and loads left.
    case 'R': command.arg = uint8_t(round * 5 % sim::ParamCount); break;
    case 'P': command.value = int32_t((round * 40503u) % Span24) - Span24 / 2; break;
    case 'B': command.value = int32_t(round % 512) - 256; break;
    default: break;
    }
    return command;
}

bool Send(TControllerLink& link, const TCommand& command) {
    switch (command.code) {
    case 'I': return link.SendIdentify();
    case 'M': return link.SendSetMode(command.arg);
    case 'm': return link.SendGetMode();
    case 'z': return link.SendGetTarget();
    case 'p': return link.SendGetPosition();
    case 'P': return link.SendSetTarget(command.value);
    case 'V': return link.SendGetSample();
    case 'S': return link.SendSaveBank(command.arg);
    case 'L': return link.SendLoadBank(command.arg);
    case 'R': return link.SendReadParam(command.arg);
    case 'W': return link.SendWriteParam(command.arg, uint16_t(command.value));
    case 'B': return link.SendSubCommand(int16_t(command.value));
    default: return false;
    }
}

std::string Describe(const TCommand& command) {
    return std::string(1, char(command.code)) + " arg " + std::to_string(command.arg) + " value " +
           std::to_string(command.value);
}

TControllerModel::TControllerModel(const sim::TControllerState& state)
    : mode(state.Mode), position(state.Position), target(state.Target), params(state.Params),
      banks(state.Banks) {}

// The clock of the link soak stands still, so the motor never moves.
void TControllerModel::Execute(const TCommand& command) {
    switch (command.code) {
    case 'M':
        mode = command.arg;
        target = position;  // a mode change holds the shaft where it is
        break;
    case 'P': target = testsupport::SignExtend24(uint32_t(command.value)); break;
    case 'S': banks[command.arg] = params; break;
    case 'L': params = banks[command.arg]; break;
    case 'W': params[command.arg] = uint16_t(command.value); break;
    default: break;
    }
}

bool Agrees(const TControllerLink& link, int decodedMode, const TControllerModel& model,
            const TCommand& command) {
    switch (command.code) {
    case 'I': return link.IdentText() == std::string(sim::IdentText) + "+";
    case 'm': return decodedMode == model.mode;
    case 'z': return link.TargetPosition() == model.target;
    case 'p': return link.Position() == model.position;
    case 'R': return link.Params()[command.arg] == model.params[command.arg];
    default: return true;
    }
}

}  // namespace soak
