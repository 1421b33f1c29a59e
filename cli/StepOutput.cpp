#include "cli/StepOutput.h"

#include <cmath>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>


namespace cli {

namespace {

const char* LackName(stepfig::EFigureLack lack) {
    using L = stepfig::EFigureLack;
    switch (lack) {
    case L::None: return "None";
    case L::NoStep: return "NoStep";
    case L::Ramp: return "Ramp";
    case L::FewBefore: return "FewBefore";
    case L::StepInNoise: return "StepInNoise";
    case L::FewAfter: return "FewAfter";
    case L::AlreadyMoving: return "AlreadyMoving";
    case L::NeverReached: return "NeverReached";
    case L::NeverSettled: return "NeverSettled";
    case L::NoOvershoot: return "NoOvershoot";
    case L::NotAtRest: return "NotAtRest";
    }
    return "?";
}

QString UnitOf(stepfig::EFigureUnit unit, const QString& seriesUnit) {
    switch (unit) {
    case stepfig::EFigureUnit::Milliseconds: return QStringLiteral("ms");
    case stepfig::EFigureUnit::PercentOfStep: return QStringLiteral("%");
    case stepfig::EFigureUnit::SeriesUnit: return seriesUnit;
    }
    return {};
}

QJsonObject Figure(double value, stepfig::EFigureLack lack, const QString& unit) {
    if (lack != stepfig::EFigureLack::None) return {{"value", QJsonValue::Null}, {"lack", LackName(lack)}};
    return {{"value", value}, {"unit", unit}};
}

QJsonObject Figure(const stepfig::TFigure& figure, stepfig::EFigureLack stepLack, const QString& seriesUnit) {
    const auto lack = stepLack != stepfig::EFigureLack::None ? stepLack : figure.Lack;
    return Figure(figure.Value, lack, UnitOf(figure.Unit, seriesUnit));
}

}  // namespace

QByteArray FiguresJson(const runs::TRun& run) {
    const stepfig::TStepFigures& f = run.analysis.Figures;
    const size_t column = size_t(run.analysis.Series);
    // The header holds the unit in its parentheses: "Series1 (килоИмпульсов/сек)".
    const QString header = column < run.seriesNames.size() ? run.seriesNames[column] : QString();
    const QString seriesUnit = header.mid(header.indexOf('(') + 1).chopped(1);
    const auto lack = f.StepLack;
    const QJsonObject figures{{"step_time", Figure(f.StepTime, lack, QStringLiteral("ms"))},
                              {"rise_time", Figure(f.RiseTime, lack, seriesUnit)},
                              {"overshoot", Figure(f.Overshoot, lack, seriesUnit)},
                              {"settling_5", Figure(f.Settling5, lack, seriesUnit)},
                              {"settling_2", Figure(f.Settling2, lack, seriesUnit)},
                              {"steady_state_error", Figure(f.SteadyError, lack, seriesUnit)},
                              {"peak_time", Figure(f.PeakTime, lack, seriesUnit)}};
    return QJsonDocument(figures).toJson();
}

QString FiguresLine(const stepview::TAnalysis& analysis) {
    const stepfig::TStepFigures& f = analysis.Figures;
    if (analysis.What == stepview::EAnalysed::None || f.StepLack != stepfig::EFigureLack::None)
        return QStringLiteral("no step figures (%1)").arg(LackName(f.StepLack));
    const auto shown = [](const stepfig::TFigure& figure, const char* unit) {
        return figure.Available() ? QString::number(figure.Value, 'f', 1) + unit : QString::fromLatin1(LackName(figure.Lack));
    };
    return QStringLiteral("step at %1 ms, rise %2, overshoot %3, settling 5 % %4")
        .arg(f.StepTime)
        .arg(shown(f.RiseTime, " ms"), shown(f.Overshoot, " %"), shown(f.Settling5, " ms"));
}

}  // namespace cli
