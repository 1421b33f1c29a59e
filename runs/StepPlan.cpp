#include "runs/StepPlan.h"

#include <cstdlib>

namespace steptest {

bool Valid(const TSettings& s) {
    const auto phase = [](int ms) { return ms >= MinPhaseMs && ms <= MaxPhaseMs; };
    return s.step != 0 && std::abs(s.step) <= StepLimit && phase(s.beforeMs) && phase(s.afterMs) &&
           s.periodMs >= 1 && s.periodMs <= MaxPeriodMs;
}

EAction Next(EPhase& phase, const TSettings& settings, uint32_t timeMs) {
    const auto stepAt = uint32_t(settings.beforeMs);
    if (phase == EPhase::Before && timeMs >= stepAt) {
        phase = EPhase::After;
        return EAction::Step;
    }
    if (phase == EPhase::After && timeMs >= stepAt + uint32_t(settings.afterMs)) {
        phase = EPhase::Idle;
        return EAction::End;
    }
    return EAction::None;
}

}  // namespace steptest
