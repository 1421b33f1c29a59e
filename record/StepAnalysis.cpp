#include "record/StepAnalysis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "record/ChartHistory.h"
#include "record/SamplePlot.h"

namespace stepview {

namespace {

// The histories keep values as floats: read back as the shortest decimal of
// that float (15.2, not 15.19999980926513671875), so a value that was on a
// band's edge when measured is on it when judged.
double Decimal(double stored) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, float(stored));
    double value = stored;
    if (written.ec == std::errc()) std::from_chars(text, written.ptr, value);
    return value;
}

struct TRecord {
    std::vector<double> keys, values;
};

// The points of a history with keys in [from, to].
TRecord Slice(const TChartHistory& history, double from, double to) {
    TRecord record;
    for (int i = history.LowerIndex(from); i < history.Count() && history.Key(i) <= to; ++i) {
        record.keys.push_back(history.Key(i));
        record.values.push_back(Decimal(history.Value(i)));
    }
    return record;
}

// The command at each key of the actual velocity; the series are fed
// together, so a key the command lacks ends the record there.
std::vector<double> CommandAt(const TChartHistory& command, TRecord& actual) {
    std::vector<double> values;
    int guess = 0;
    for (size_t i = 0; i < actual.keys.size(); ++i) {
        const int at = command.LowerIndex(actual.keys[i], guess);
        if (at >= command.Count() || command.Key(at) != actual.keys[i]) {
            actual.keys.resize(i);
            actual.values.resize(i);
            break;
        }
        values.push_back(Decimal(command.Value(at)));
        guess = at + 1;
    }
    return values;
}

// Ticks missed between consecutive samples from the one before the step on
// to the settling; samples sit at their ticks' times.
int TicksMissedNearStep(const std::vector<double>& keys, const stepfig::TStepFigures& f) {
    if (f.StepLack != stepfig::EFigureLack::None) return 0;
    const double end = f.Settling5.Available() ? f.StepTime + f.Settling5.Value : keys.empty() ? 0 : keys.back();
    long missed = 0;
    for (size_t i = 1; i < keys.size() && keys[i - 1] < end; ++i)
        if (keys[i] >= f.StepTime) missed += std::max(0L, std::lround((keys[i] - keys[i - 1]) / sampleplot::MsPerTick) - 1);
    return int(missed);
}

}  // namespace

TAnalysis Analyse(const std::array<const TChartHistory*, 3>& series, double from, double to,
                  protocol::EServoMode mode) {
    TAnalysis analysis;
    if (series[0]->Count() == 0) return analysis;
    if (mode == protocol::smPwm || mode == protocol::smTorque) {
        analysis.What = EAnalysed::OpenLoop;
        analysis.Figures = stepfig::Lacking(stepfig::EFigureLack::NotVelocity);
        return analysis;
    }
    if (series[2]->Count() > 0) {
        analysis.What = EAnalysed::Velocity;
        TRecord actual = Slice(*series[0], from, to);
        const std::vector<double> command = CommandAt(*series[2], actual);
        analysis.Figures = stepfig::VelocityStepFigures(actual.keys, actual.values, command, from, to);
        analysis.TicksMissedNearStep = TicksMissedNearStep(actual.keys, analysis.Figures);
        return analysis;
    }
    const bool mismatch = series[1]->Count() > 0;
    analysis.What = mismatch ? EAnalysed::Mismatch : EAnalysed::Error;
    analysis.Series = mismatch ? 1 : 0;
    const TRecord record = Slice(*series[size_t(analysis.Series)], from, to);
    analysis.Figures = stepfig::ZeroSettlingFigures(record.keys, record.values, from, to);
    analysis.TicksMissedNearStep = TicksMissedNearStep(record.keys, analysis.Figures);
    return analysis;
}

}  // namespace stepview
