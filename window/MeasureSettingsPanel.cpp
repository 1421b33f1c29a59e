#include "window/MeasureSettingsPanel.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "link/NumberText.h"
#include "link/Protocol.h"
#include "measure/Recorder.h"
#include "record/ChartUnits.h"
#include "record/SamplePlot.h"
#include "window/LayoutParts.h"
#include "window/OwnEnabled.h"
#include "window/RadioGroup.h"

using namespace layoutparts;

namespace {

std::optional<int32_t> Converted(QLineEdit* edit, const std::function<void(QLineEdit*)>& markError) {
    const auto value = numtext::StrToInt(edit->text());
    if (!value) markError(edit);
    return value;
}

}  // namespace

TMeasureSettingsPanel::TMeasureSettingsPanel(QWidget* window) : QObject(window) {
    using namespace sampleplot;
    const QStringList units{chartunits::UnitCaption(vuMmPerMin), chartunits::UnitCaption(vuKiloPulsesPerSec),
                            chartunits::UnitCaption(vuPercent)};
    FUnit = Named(Place<TRadioGroup>(window, {467, 180, 96, 61}, T(" Скорость "), units), "rgVelocityRaz");
    FUnit->SetItemIndex(vuKiloPulsesPerSec);

    auto* history = Named(Group(window, " История ", {567, 180, 104, 61}), "GroupBox1");
    Named(Label(history, "Измерений", {8, 17, 88, 14}), "Label7");
    FHistory = Named(Edit(history, measure::DefaultHistoryDepth, {8, 33, 88, 21}), "edtHistoryDepth");

    auto* encoder = Named(Group(window, " Encoder ", {383, 180, 80, 61}), "gbEncoder");
    Named(Label(encoder, "Имп/мм", {8, 17, 64, 14}), "Label18");
    FPulses = Named(Edit(encoder, measure::DefaultPulsesPerMm, {8, 33, 64, 21}), "edtPulsesPerMilimeter");
}

void TMeasureSettingsPanel::BuildPeriod(QWidget* window) {
    auto* period = Named(Group(window, " Период , мс", {675, 180, 104, 61}), "GroupBox3");
    Named(Label(period, "Измерений", {8, 17, 88, 14}), "Label8");
    FPeriod = Named(Edit(period, measure::DefaultPeriodMs, {8, 33, 88, 21}), "edtTimerPeriod");
}

int TMeasureSettingsPanel::Unit() const { return FUnit->ItemIndex(); }

QString TMeasureSettingsPanel::UnitText() const { return FUnit->ItemText(FUnit->ItemIndex()); }

void TMeasureSettingsPanel::SetEnabled(bool stopped, int servoMode) {
    FHistory->setEnabled(stopped);
    FPeriod->setEnabled(stopped);
    SetUnitEnabled(stopped, servoMode);
}

void TMeasureSettingsPanel::SetUnitEnabled(bool stopped, int servoMode) {
    FUnit->setEnabled(stopped && servoMode == protocol::smVelocity);
    FPulses->setEnabled(OwnEnabled(FUnit));
}

std::optional<int32_t> TMeasureSettingsPanel::Read(const TSink& sink) const {
    const auto depth = Converted(FHistory, sink.markError);
    if (!depth) return std::nullopt;
    sink.historyDepth(*depth);
    // Converted in every servo mode, also while its edit is disabled.
    const auto pulses = Converted(FPulses, sink.markError);
    if (!pulses) return std::nullopt;
    sink.pulsesPerMm(*pulses);
    return Converted(FPeriod, sink.markError);
}

void TMeasureSettingsPanel::UseForTest(int periodMs, int depth) {
    FKeptPeriod = FPeriod->text();
    FKeptHistory = FHistory->text();
    FPeriod->setText(QString::number(periodMs));
    // The edit's depth, not the last measurement's: the user's is put back after each test.
    const auto present = numtext::StrToInt(FHistory->text());
    if (!present || *present < depth) FHistory->setText(QString::number(depth));
}

void TMeasureSettingsPanel::RestoreKept() {
    FPeriod->setText(FKeptPeriod);
    FHistory->setText(FKeptHistory);
}
