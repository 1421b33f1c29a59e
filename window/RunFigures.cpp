#include "window/RunFigures.h"

namespace runfigures {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

const stepfig::TFigure& Of(const stepfig::TStepFigures& figures, int i) {
    switch (i) {
    case 0: return figures.RiseTime;
    case 1: return figures.Overshoot;
    case 2: return figures.Settling5;
    default: return figures.SteadyError;
    }
}

QString Number(double value) { return QString::number(value, 'g', 4); }

}  // namespace

std::array<QString, Count> Titles() {
    return {U("Нарастание, мс"), U("Перерегул., %"), U("Устан. 5 %, мс"), U("Ошибка")};
}

std::optional<double> Figure(const runs::TRun& run, int i) {
    if (run.analysis.What == stepview::EAnalysed::None) return std::nullopt;
    const stepfig::TFigure& figure = Of(run.analysis.Figures, i);
    if (!figure.Available()) return std::nullopt;
    return figure.Value;
}

QString Text(const runs::TRun& run, int i, const runs::TRun* reference) {
    const auto value = Figure(run, i);
    if (!value) return U("–");
    const auto base = reference && reference != &run ? Figure(*reference, i) : std::nullopt;
    if (!base) return Number(*value);
    const double difference = *value - *base;
    return QStringLiteral("%1 (%2%3)").arg(Number(*value), difference >= 0 ? "+" : "", Number(difference));
}

}  // namespace runfigures
