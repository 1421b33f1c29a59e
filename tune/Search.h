// The search for Kp and Ki, one closed-loop step test at a time, that knows
// nothing of the plant or of how the controller scales its words:
//  1. the starting gains, as they are (the run the result is set beside);
//  2. Kp with a slow integral (Ki = Kp / 256): up by up to 16x at a time
//     (by how much slower than two ticks the rise is) while the step stays
//     clean, down by 4x while it is not, then halving the ratio between the
//     highest clean and the lowest unclean Kp down to 1.35x: the fastest
//     proportional loop without overshoot;
//  3. Ki with that Kp, from Kp / 128: up by 2x while the overshoot stays
//     within the target, down by 2x while it does not, then bisecting to
//     1.35x: the strongest integral the target allows.
// The best experiment that met the target (fastest 5 % settling) wins. Each
// phase ends early when the experiments run out. Plain C++.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "tune/Verdict.h"

namespace tune {

struct TGains {
    uint16_t kp = 0;  // parameter #3's word, 8.8
    uint16_t ki = 0;  // parameter #4's word, 8.8
    bool operator==(const TGains&) const = default;
};

struct TTried {
    TGains gains;
    TVerdict verdict;
};

class TSearch {
public:
    TSearch(TGains start, double overshootPct, int maxExperiments);

    // The gains of the next experiment; none when the search is over.
    std::optional<TGains> Next();
    // How the experiment with the gains Next gave went.
    void Report(const TVerdict& verdict);

    const std::vector<TTried>& Tried() const { return FTried; }
    // The fastest experiment that met the target; none when none did.
    std::optional<TTried> Best() const;

private:
    enum class EPhase { Start, Proportional, Integral, Done };
    struct TBracket {
        std::optional<double> good, bad;  // the highest good and the lowest bad value tried
        double factor = 2;                // the next move while not bracketed
    };

    std::optional<double> NextValue(TBracket& bracket, const std::set<uint16_t>& tried) const;
    void Move(TBracket& bracket, double value, bool good, double upFactor, double downFactor);
    std::optional<TGains> Candidate();
    void BeginIntegral();

    const TGains FStart;
    const double FOvershoot;
    const int FMax;
    EPhase FPhase = EPhase::Start;
    TBracket FKp, FKi;
    double FCurrent = 0;     // the value under test in the phase
    uint16_t FKpChosen = 0;  // Kp for the integral phase
    std::set<uint16_t> FKpTried, FKiTried;
    std::optional<TGains> FPending;
    std::vector<TTried> FTried;
};

// Kp / 256 and Kp / 128 as words, at least 1.
uint16_t SlowIntegral(uint16_t kp);
uint16_t FirstIntegral(uint16_t kp);

}  // namespace tune
