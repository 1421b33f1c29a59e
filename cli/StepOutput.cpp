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
    case L::NotVelocity: return "NotVelocity";
    case L::Ramp: return "Ramp";
    case L::FewBefore: return "FewBefore";
    case L::StepInNoise: return "StepInNoise";
    case L::FewAfter: return "FewAfter";
    case L::AlreadyMoving: return "AlreadyMoving";
    case L::NeverReached: return "NeverReached";
    case L::NeverSettled: return "NeverSettled";
    case L::NoOvershoot: return "NoOvershoot";
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

// Why a figure is missing, in words.
QString LackWords(stepfig::EFigureLack lack) {
    using L = stepfig::EFigureLack;
    switch (lack) {
    case L::None: return {};
    case L::NoStep: return QStringLiteral("no step of the command in the record");
    case L::NotVelocity:
        return QStringLiteral("measured in the PWM or torque mode: the command is not a velocity, so rise, "
                              "overshoot, settling and steady-state error do not apply");
    case L::Ramp: return QStringLiteral("the command ramped rather than stepped");
    case L::FewBefore: return QStringLiteral("too few samples before the step");
    case L::StepInNoise: return QStringLiteral("the step is lost in the noise");
    case L::FewAfter: return QStringLiteral("too few samples after the step");
    case L::AlreadyMoving: return QStringLiteral("already moving at the step");
    case L::NeverReached: return QStringLiteral("never reached 90 % of the step");
    case L::NeverSettled: return QStringLiteral("not settled");
    case L::NoOvershoot: return QStringLiteral("no overshoot");
    }
    return {};
}

// The unit in a column's name: "Series1 (килоИмпульсов/сек)".
QString SeriesUnit(const runs::TRun& run) {
    const size_t column = size_t(run.analysis.Series);
    const QString header = column < run.seriesNames.size() ? run.seriesNames[column] : QString();
    return header.contains('(') ? header.mid(header.indexOf('(') + 1).chopped(1) : QString();
}

QJsonObject Figure(double value, stepfig::EFigureLack lack, const QString& unit) {
    if (lack != stepfig::EFigureLack::None)
        return {{"value", QJsonValue::Null}, {"lack", LackName(lack)}, {"reason", LackWords(lack)}};
    return {{"value", value}, {"unit", unit}};
}

QJsonObject Figure(const stepfig::TFigure& figure, stepfig::EFigureLack stepLack, const QString& seriesUnit) {
    const auto lack = stepLack != stepfig::EFigureLack::None ? stepLack : figure.Lack;
    return Figure(figure.Value, lack, UnitOf(figure.Unit, seriesUnit));
}

}  // namespace

QJsonObject FiguresObject(const runs::TRun& run) {
    const stepfig::TStepFigures& f = run.analysis.Figures;
    const QString seriesUnit = SeriesUnit(run);
    const auto lack = f.StepLack;
    return QJsonObject{{"step_time", Figure(f.StepTime, lack, QStringLiteral("ms"))},
                              {"from", Figure(f.From, lack, seriesUnit)},
                              {"set_point", Figure(f.To, lack, seriesUnit)},
                              {"rise_time", Figure(f.RiseTime, lack, seriesUnit)},
                              {"overshoot", Figure(f.Overshoot, lack, seriesUnit)},
                              {"settling_5", Figure(f.Settling5, lack, seriesUnit)},
                              {"settling_2", Figure(f.Settling2, lack, seriesUnit)},
                              {"steady_state_error", Figure(f.SteadyError, lack, seriesUnit)},
                              {"peak_time", Figure(f.PeakTime, lack, seriesUnit)},
                              {"ticks_missed_near_step", run.analysis.TicksMissedNearStep}};
}

QByteArray FiguresJson(const runs::TRun& run) { return QJsonDocument(FiguresObject(run)).toJson(); }

QString FiguresLine(const runs::TRun& run) {
    const stepfig::TStepFigures& f = run.analysis.Figures;
    if (run.analysis.What == stepview::EAnalysed::None || f.StepLack != stepfig::EFigureLack::None)
        return QStringLiteral("no step figures: %1").arg(LackWords(f.StepLack));
    const QString unit = SeriesUnit(run);
    const int missed = run.analysis.TicksMissedNearStep;
    const auto shown = [](const stepfig::TFigure& figure, const QString& suffix, int decimals) {
        return figure.Available() ? QString::number(figure.Value, 'f', decimals) + suffix : LackWords(figure.Lack);
    };
    const auto level = [](double value) { return QString::number(value, 'g', 4); };
    return QStringLiteral("step %1 -> %2 %3 at %4 ms: rise %5, overshoot %6, settling 5 % %7, settling 2 % %8, "
                          "steady-state error %9")
        .arg(level(f.From), level(f.To), unit)
        .arg(f.StepTime)
        .arg(shown(f.RiseTime, QStringLiteral(" ms"), 1), shown(f.Overshoot, QStringLiteral(" %"), 1),
             shown(f.Settling5, QStringLiteral(" ms"), 0), shown(f.Settling2, QStringLiteral(" ms"), 0),
             shown(f.SteadyError, ' ' + unit, 2)) +
           (missed > 0 ? QStringLiteral("; %1 controller ticks missed around the step").arg(missed) : QString());
}

}  // namespace cli
