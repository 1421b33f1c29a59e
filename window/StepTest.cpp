#include "window/StepTest.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "window/LayoutParts.h"

namespace steptest {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

using layoutparts::SpinBox;

}  // namespace

TDialog::TDialog(QWidget* parent, const TSettings& settings) : QDialog(parent) {
    setObjectName("dlgStepTest");
    setWindowTitle(U("Опыт: ступенька"));
    auto* form = new QFormLayout(this);
    FStep = SpinBox(this, "spnStep", -StepLimit, StepLimit, settings.step);
    FBefore = SpinBox(this, "spnBefore", MinPhaseMs, MaxPhaseMs, settings.beforeMs);
    FAfter = SpinBox(this, "spnAfter", MinPhaseMs, MaxPhaseMs, settings.afterMs);
    FPeriod = SpinBox(this, "spnPeriod", 1, MaxPeriodMs, settings.periodMs);
    form->addRow(U("Ступенька, делений от середины (до ±%1):").arg(StepLimit), FStep);
    form->addRow(U("До ступеньки, мс:"), FBefore);
    form->addRow(U("После ступеньки, мс:"), FAfter);
    form->addRow(U("Период измерений, мс:"), FPeriod);
    FReset = new QCheckBox(U("Сбросить регулятор перед опытом"), this);
    FReset->setObjectName("chkResetRegulator");
    FReset->setChecked(settings.resetRegulator);
    form->addRow(FReset);
    auto* note = new QLabel(U("Esc или «СТОП + СБРОС» прерывают опыт."), this);
    form->addRow(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(U("Начать"));
    buttons->button(QDialogButtonBox::Cancel)->setText(U("Отмена"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A step of nothing measures nothing.
    const auto check = [this, buttons] { buttons->button(QDialogButtonBox::Ok)->setEnabled(FStep->value() != 0); };
    connect(FStep, &QSpinBox::valueChanged, this, check);
    check();
}

TSettings TDialog::Settings() const {
    return {FStep->value(), FBefore->value(), FAfter->value(), FPeriod->value(), FReset->isChecked()};
}

}  // namespace steptest
