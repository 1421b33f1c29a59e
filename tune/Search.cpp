#include "tune/Search.h"

#include <algorithm>
#include <cmath>

namespace tune {

namespace {

constexpr double Resolution = 1.35;    // bisection ends when the bracket is this narrow
constexpr double TargetRiseMs = 10;    // two controller ticks: about the fastest a sampled loop rises
constexpr double LargestJump = 16;
constexpr double KpDown = 4, KiMove = 2;

uint16_t Word(double value) { return uint16_t(std::clamp(std::lround(value), 1L, 65535L)); }

// How far up Kp may jump after a clean step: by the rise's excess over two ticks.
double UpFactor(const TVerdict& v) {
    if (!v.riseMs) return LargestJump;  // never reached 90 %: far too slow
    const double excess = *v.riseMs / TargetRiseMs;
    return std::clamp(std::exp2(std::floor(std::log2(std::max(excess, 1.0)))), 2.0, LargestJump);
}

}  // namespace

uint16_t SlowIntegral(uint16_t kp) { return Word(kp / 256.0); }
uint16_t FirstIntegral(uint16_t kp) { return Word(kp / 128.0); }

TSearch::TSearch(TGains start, double overshootPct, int maxExperiments)
    : FStart(start), FOvershoot(overshootPct), FMax(maxExperiments) {
    FPending = start;
}

std::optional<TGains> TSearch::Next() {
    if (int(FTried.size()) >= FMax) FPending.reset();
    return FPending;
}

void TSearch::Report(const TVerdict& verdict) {
    if (!FPending) return;
    FTried.push_back({*FPending, verdict});
    switch (FPhase) {
    case EPhase::Start:
        FPhase = EPhase::Proportional;
        FCurrent = std::max<double>(FStart.kp, 1);
        FPending = TGains{Word(FCurrent), SlowIntegral(Word(FCurrent))};
        return;
    case EPhase::Proportional:
        FKpTried.insert(Word(FCurrent));
        Move(FKp, FCurrent, verdict.clean, UpFactor(verdict), KpDown);
        break;
    case EPhase::Integral:
        FKiTried.insert(Word(FCurrent));
        Move(FKi, FCurrent, verdict.withinOvershoot, KiMove, KiMove);
        break;
    case EPhase::Done: break;
    }
    FPending = Candidate();
}

void TSearch::Move(TBracket& bracket, double value, bool good, double upFactor, double downFactor) {
    if (good) {
        bracket.good = std::max(bracket.good.value_or(value), value);
        bracket.factor = upFactor;
    } else {
        bracket.bad = std::min(bracket.bad.value_or(value), value);
        bracket.factor = downFactor;
    }
}

std::optional<double> TSearch::NextValue(TBracket& b, const std::set<uint16_t>& tried) const {
    double value;
    if (b.good && b.bad) {
        if (*b.bad / *b.good <= Resolution) return std::nullopt;
        value = std::sqrt(*b.good * *b.bad);
    } else if (b.good) {
        value = *b.good * b.factor;
    } else if (b.bad) {
        value = *b.bad / b.factor;
    } else {
        return std::nullopt;
    }
    value = std::clamp(value, 1.0, 65535.0);
    if (tried.count(Word(value))) return std::nullopt;  // the words' resolution reached, or a limit
    return value;
}

std::optional<TGains> TSearch::Candidate() {
    if (FPhase == EPhase::Proportional) {
        if (const auto kp = NextValue(FKp, FKpTried)) {
            FCurrent = *kp;
            return TGains{Word(*kp), SlowIntegral(Word(*kp))};
        }
        BeginIntegral();
        return TGains{FKpChosen, Word(FCurrent)};
    }
    if (FPhase == EPhase::Integral) {
        if (const auto ki = NextValue(FKi, FKiTried)) {
            FCurrent = *ki;
            return TGains{FKpChosen, Word(*ki)};
        }
    }
    FPhase = EPhase::Done;
    return std::nullopt;
}

// The highest clean Kp; with none clean, the lowest tried.
void TSearch::BeginIntegral() {
    FPhase = EPhase::Integral;
    FKpChosen = Word(FKp.good.value_or(FKp.bad.value_or(FStart.kp)));
    FCurrent = FirstIntegral(FKpChosen);
}

std::optional<TTried> TSearch::Best() const {
    std::optional<TTried> best;
    for (const TTried& t : FTried)
        if (t.verdict.meets && (!best || Better(t.verdict, best->verdict))) best = t;
    return best;
}

}  // namespace tune
