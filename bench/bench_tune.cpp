// The automatic tuning over a zoo of simulated plants, each from a sluggish
// and an oscillating start: the share that meets the target (overshoot at
// most 5 %, no steady-state error), the 5 % settling against the best a 6x6
// grid of Kp and Ki finds on the same plant, and the experiments used. The
// experiments run on the simulated motor directly (tunerig), the same step
// test and figures the console uses over the line.
// bench_tune [PLANTS_FILE]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/Report.h"
#include "sim/PlantSources.h"
#include "tunerig/DirectStep.h"

using namespace bench;

namespace {

struct TPlantCase {
    std::string name;
    tunerig::TRig rig;
};

// The best settling a 6x6 grid finds: Kp 0.5 to 16, Ki Kp/256 to Kp/8, doubling.
std::optional<double> GridBest(const tunerig::TRig& rig, double overshootPct) {
    std::optional<double> best;
    for (int kp = 128; kp <= 4096; kp *= 2)
        for (int share = 256; share >= 8; share /= 2) {
            const tune::TGains gains{uint16_t(kp), uint16_t(std::max(1, kp / share))};
            const tunerig::TOutcome o = tunerig::RunExperiment(rig, gains);
            const tune::TVerdict v = tune::Judge(o.figures, o.stopped, overshootPct);
            if (v.meets && (!best || v.settlingMs < *best)) best = v.settlingMs;
        }
    return best;
}

std::string Gains(const tune::TGains& g) {
    return "Kp " + Fixed(g.kp / 256.0, 3) + " Ki " + Fixed(g.ki / 256.0, 4);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string file = argc > 1 ? argv[1] : SERVO_PLANTS_FILE;
    std::string error;
    const auto zoo = sim::LoadPlants(file, &error);
    if (!zoo) {
        std::fprintf(stderr, "bench_tune: %s\n", error.c_str());
        return 2;
    }
    const bool verbose = std::getenv("BENCH_TUNE_VERBOSE") != nullptr;
    Heading("automatic tuning over the zoo of plants, two starts each");
    std::vector<TPlantCase> plants;
    for (const sim::TNamedPlant& p : *zoo) {
        tunerig::TRig rig;
        rig.motor = [plant = p.Plant] { return sim::TMotorModel(plant); };
        plants.push_back({p.Name, rig});
    }
    const tune::TGains starts[] = {{64, 4}, {3072, 256}};
    int met = 0, runs = 0, worstExperiments = 0;
    double worstRatio = 0;
    for (const TPlantCase& plant : plants) {
        const auto grid = GridBest(plant.rig, 5);
        for (const tune::TGains& start : starts) {
            const tune::TSearch search = tunerig::Tune(plant.rig, start, 5, 12);
            ++runs;
            const auto best = search.Best();
            const int used = int(search.Tried().size());
            worstExperiments = std::max(worstExperiments, used);
            std::printf("  %-16s from %-22s: ", plant.name.c_str(), Gains(start).c_str());
            if (!best) {
                std::printf("no gains met the target in %d experiments\n", used);
                continue;
            }
            ++met;
            const double ratio = grid ? best->verdict.settlingMs / *grid : 0;
            worstRatio = std::max(worstRatio, ratio);
            std::printf("%s, settling %.0f ms (grid best %s ms, %.2fx), %d experiments\n",
                        Gains(best->gains).c_str(), best->verdict.settlingMs,
                        grid ? Fixed(*grid, 0).c_str() : "none", ratio, used);
            if (verbose)
              for (const tune::TTried& t : search.Tried())
                std::printf("      %-24s %s settling %.0f rise %.1f clean %d within %d\n", Gains(t.gains).c_str(),
                            t.verdict.meets ? "MEETS" : "     ", t.verdict.settlingMs, t.verdict.riseMs.value_or(-1),
                            t.verdict.clean, t.verdict.withinOvershoot);
        }
    }
    TFigure share{"tunings that meet the target", "all", std::to_string(met) + " of " + std::to_string(runs), "",
                  met == runs};
    TFigure ratio{"settling against the grid's best, worst", "<= 1.30", Fixed(worstRatio, 2), "", worstRatio <= 1.3};
    TFigure used{"experiments a tuning used, most", "<= 12", std::to_string(worstExperiments), "", worstExperiments <= 12};
    const bool pass = Print(share) & Print(ratio) & Print(used);
    return pass ? 0 : 1;
}
