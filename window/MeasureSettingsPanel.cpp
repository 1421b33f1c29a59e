#include "window/MeasureSettingsPanel.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "link/NumberText.h"
#include "link/Protocol.h"
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
    FUnit = Named(Place<TRadioGroup>(window, {467, 180, 96, 61}, T(" Скорость "),
                                     QStringList{T("мм/мин"), T("кИмп/сек"), T("процент")}),
                  "rgVelocityRaz");
    FUnit->SetItemIndex(1);

    auto* history = Named(Group(window, " История ", {567, 180, 104, 61}), "GroupBox1");
    Named(Label(history, "Измерений", {8, 17, 88, 14}), "Label7");
    FHistory = Named(Edit(history, "100", {8, 33, 88, 21}), "edtHistoryDepth");

    auto* encoder = Named(Group(window, " Encoder ", {383, 180, 80, 61}), "gbEncoder");
    Named(Label(encoder, "Имп/мм", {8, 17, 64, 14}), "Label18");
    FPulses = Named(Edit(encoder, "80", {8, 33, 64, 21}), "edtPulsesPerMilimeter");
}

void TMeasureSettingsPanel::BuildPeriod(QWidget* window) {
    auto* period = Named(Group(window, " Период , мс", {675, 180, 104, 61}), "GroupBox3");
    Named(Label(period, "Измерений", {8, 17, 88, 14}), "Label8");
    FPeriod = Named(Edit(period, "16", {8, 33, 88, 21}), "edtTimerPeriod");
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
