// The link soak's plan: which command each step sends, which faults the
// controller commits meanwhile, how each transaction must end, and what the
// controller holds afterwards, so that every accepted reply can be checked.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/ControllerLink.h"
#include "sim/ControllerState.h"
#include "sim/Faults.h"

namespace soak {

enum class EPhase { Clean, Refuse, WrongStatus, GarbageAfter, Split, Drop };

EPhase PhaseOf(uint64_t step);
const char* PhaseName(EPhase phase);
sim::TFaults FaultsOf(EPhase phase);
// Whether the controller carries out commands in this phase.
bool Executes(EPhase phase);
// Whether accepted replies of this phase are checked against the model.
bool Checked(EPhase phase);
// How a transaction of this phase must end (a dropped reply: by time-out).
TLinkState ExpectedState(EPhase phase, uint8_t code);

struct TCommand {
    uint8_t code = 0;
    uint8_t arg = 0;    // mode, bank or parameter index
    int32_t value = 0;  // target, parameter word or drive value
};

// Every step sends the next of the twelve commands, with arguments that vary.
TCommand CommandOf(uint64_t step);
bool Send(TControllerLink& link, const TCommand& command);
std::string Describe(const TCommand& command);

// What the controller holds, following each command it carries out.
struct TControllerModel {
    explicit TControllerModel(const sim::TControllerState& state);
    void Execute(const TCommand& command);

    uint8_t mode;
    int32_t position;
    int32_t target;
    sim::TParamSet params;
    std::array<sim::TParamSet, sim::BankCount> banks;
};

// Whether what the link decoded from an accepted reply matches the model.
// `decodedMode` is the mode the link reported for an 'm' reply (-1: none).
bool Agrees(const TControllerLink& link, int decodedMode, const TControllerModel& model,
            const TCommand& command);

}  // namespace soak
