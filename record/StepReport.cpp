#include "record/StepReport.h"

namespace stepreport {

namespace {

using stepfig::EFigureLack;
using stepfig::EFigureUnit;
using stepfig::TFigure;
using stepview::EAnalysed;

QString StepLackText(EFigureLack lack, EAnalysed what) {
    switch (lack) {
    case EFigureLack::NoStep:
        if (what == EAnalysed::Velocity) return "В видимой части нет скачка задания";
        if (what == EAnalysed::Error) return "В видимой части нет скачка ошибки";
        return "В видимой части нет скачка рассогласования";
    case EFigureLack::Ramp: return "Задание менялось плавно, а не скачком";
    case EFigureLack::FewBefore: return "Слишком мало точек до скачка";
    case EFigureLack::StepInNoise: return "Скачок слишком мал на фоне шума";
    case EFigureLack::FewAfter: return "Слишком мало точек после скачка";
    default: return "Скачок не найден";
    }
}

// A duty or a torque has no set-point: say so, and where the figures come from.
QStringList OpenLoopLines(const QString& mode) {
    return {"Режим «" + mode + "»: задание — не скорость,",
            "нарастание, перерегулирование, установление",
            "и ошибка по заданию здесь не применимы.",
            "Их даёт опыт «ступенька» в режиме «Скорость»;",
            "значения в точках показывает курсор."};
}

QString FigureLackText(EFigureLack lack) {
    switch (lack) {
    case EFigureLack::AlreadyMoving: return "нет: отклик уже менялся в момент скачка";
    case EFigureLack::NeverReached: return "нет: отклик не достигает 90 % скачка";
    case EFigureLack::NeverSettled: return "не установилось";
    case EFigureLack::NoOvershoot: return "нет перерегулирования";
    default: return "нет";
    }
}

QString Number(double value, int decimals) { return QString::number(value, 'f', decimals); }

QString FigureText(const TFigure& figure, const QString& unit) {
    if (!figure.Available()) return FigureLackText(figure.Lack);
    switch (figure.Unit) {
    case EFigureUnit::Milliseconds: return Number(figure.Value, 1) + " мсек";
    case EFigureUnit::PercentOfStep: return Number(figure.Value, 1) + " %";
    case EFigureUnit::SeriesUnit: return QString::number(figure.Value, 'g', 4) + " " + unit;
    }
    return {};
}

QString StepLine(const stepview::TAnalysis& analysis, const QString& unit) {
    const stepfig::TStepFigures& f = analysis.Figures;
    const QString at = " при " + Number(f.StepTime, 0) + " мсек";
    const QString from = QString::number(f.From, 'g', 4);
    if (analysis.What == EAnalysed::Velocity)
        return "Скачок задания: " + from + " → " + QString::number(f.To, 'g', 4) + " " + unit + at;
    const QString name = analysis.What == EAnalysed::Error ? "Скачок ошибки: " : "Скачок рассогласования: ";
    return name + from + " " + unit + at;
}

}  // namespace

QStringList Lines(const stepview::TAnalysis& analysis, const QString& unit, const QString& mode) {
    QStringList lines{"Переходная характеристика"};
    const stepfig::TStepFigures& f = analysis.Figures;
    if (analysis.What == EAnalysed::None) return lines << "Нет точек";
    if (analysis.What == EAnalysed::OpenLoop) return lines << OpenLoopLines(mode);
    if (f.StepLack != EFigureLack::None) return lines << StepLackText(f.StepLack, analysis.What);
    lines << StepLine(analysis, unit);
    if (analysis.TicksMissedNearStep > 0)
        lines << "Около скачка пропущено тактов контроллера: " + QString::number(analysis.TicksMissedNearStep);
    lines << "Время нарастания 10–90 %: " + FigureText(f.RiseTime, unit);
    lines << "Перерегулирование: " + FigureText(f.Overshoot, unit);
    lines << "Время установления ±5 %: " + FigureText(f.Settling5, unit);
    lines << "Время установления ±2 %: " + FigureText(f.Settling2, unit);
    lines << "Установившаяся ошибка: " + FigureText(f.SteadyError, unit);
    lines << "Время пика: " + FigureText(f.PeakTime, unit);
    return lines;
}

}  // namespace stepreport
