#include "record/StepAnalysis.h"

#include <charconv>
#include <vector>

#include "record/ChartHistory.h"

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

}  // namespace

TAnalysis Analyse(const std::array<const TChartHistory*, 3>& series, double from, double to) {
    TAnalysis analysis;
    if (series[0]->Count() == 0) return analysis;
    if (series[2]->Count() > 0) {
        analysis.What = EAnalysed::Velocity;
        TRecord actual = Slice(*series[0], from, to);
        const std::vector<double> command = CommandAt(*series[2], actual);
        analysis.Figures = stepfig::VelocityStepFigures(actual.keys, actual.values, command, from, to);
        return analysis;
    }
    const bool mismatch = series[1]->Count() > 0;
    analysis.What = mismatch ? EAnalysed::Mismatch : EAnalysed::Error;
    analysis.Series = mismatch ? 1 : 0;
    const TRecord record = Slice(*series[size_t(analysis.Series)], from, to);
    analysis.Figures = stepfig::ZeroSettlingFigures(record.keys, record.values, from, to);
    return analysis;
}

}  // namespace stepview
