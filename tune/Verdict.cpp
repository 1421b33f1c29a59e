#include "tune/Verdict.h"

#include <cmath>
#include <limits>

namespace tune {

TVerdict Judge(const stepfig::TStepFigures& f, EStopped stopped, double overshootPct) {
    TVerdict v;
    if (stopped != EStopped::None || f.StepLack != stepfig::EFigureLack::None) return v;
    const double step = std::fabs(f.To - f.From);
    const bool overshootOk = f.Overshoot.Available() && f.Overshoot.Value <= overshootPct;
    v.clean = f.Overshoot.Available() && f.Overshoot.Value <= overshootPct / 2;
    v.withinOvershoot = overshootOk;
    if (f.RiseTime.Available()) v.riseMs = f.RiseTime.Value;
    if (f.Settling2.Available()) v.settling2Ms = f.Settling2.Value;
    if (f.Overshoot.Available()) v.overshootPct = f.Overshoot.Value;
    if (!f.Settling5.Available()) return v;
    v.settlingMs = f.Settling5.Value;
    const bool noError = f.SteadyError.Available() && std::fabs(f.SteadyError.Value) <= SteadyErrorShare * step + 1e-9;
    v.meets = overshootOk && noError;
    return v;
}

bool Better(const TVerdict& a, const TVerdict& b) {
    if (a.meets != b.meets) return a.meets;
    if (!a.meets) return false;  // neither meets: neither is better
    if (a.settlingMs != b.settlingMs) return a.settlingMs < b.settlingMs;
    const double inf = std::numeric_limits<double>::infinity();
    if (a.settling2Ms.value_or(inf) != b.settling2Ms.value_or(inf)) return a.settling2Ms.value_or(inf) < b.settling2Ms.value_or(inf);
    return a.overshootPct < b.overshootPct;
}

}  // namespace tune
