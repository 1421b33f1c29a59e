#include "cli/ExitCode.h"

#include <array>
#include <cstddef>

namespace cli {

namespace {

constexpr std::array<EExit, 10> WorstFirst{EExit::Usage,    EExit::Interrupted, EExit::BadFile,  EExit::PortFailed,
                                           EExit::NoController, EExit::TimedOut, EExit::Refused,
                                           EExit::Mismatch, EExit::NotTuned, EExit::Ok};

int Rank(EExit code) {
    for (std::size_t i = 0; i < WorstFirst.size(); ++i)
        if (WorstFirst[i] == code) return int(i);
    return int(WorstFirst.size());
}

}  // namespace

EExit Worst(EExit a, EExit b) { return Rank(a) <= Rank(b) ? a : b; }

const char* ExitName(EExit code) {
    switch (code) {
    case EExit::Ok: return "ok";
    case EExit::Mismatch: return "mismatch";
    case EExit::Usage: return "usage";
    case EExit::BadFile: return "bad-file";
    case EExit::Refused: return "refused";
    case EExit::PortFailed: return "port-failed";
    case EExit::NoController: return "no-controller";
    case EExit::TimedOut: return "timeout";
    case EExit::Interrupted: return "interrupted";
    case EExit::NotTuned: return "not-tuned";
    }
    return "?";
}

}  // namespace cli
