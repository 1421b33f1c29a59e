#include "window/AutoTuneDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "window/LayoutParts.h"
#include <QTableWidget>
#include <QVBoxLayout>

#include "link/ParamWords.h"
#include "link/Protocol.h"

namespace autotune {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

using layoutparts::SpinBox;

QDoubleSpinBox* Real(QWidget* parent, const char* name, double low, double high, double value) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setDecimals(1);
    box->setValue(value);
    return box;
}

// A figure's text, and its value for the difference when there is one.
std::optional<double> Value(const stepfig::TFigure& f) { return f.Available() ? std::optional(f.Value) : std::nullopt; }

QString Cell(std::optional<double> value) { return value ? QString::number(*value, 'g', 4) : U("–"); }

}  // namespace

TLimitsDialog::TLimitsDialog(QWidget* parent, const tune::TLimits& limits) : QDialog(parent) {
    setObjectName("dlgAutoTune");
    setWindowTitle(U("Автонастройка"));
    auto* form = new QFormLayout(this);
    FStep = SpinBox(this, "spnTuneStep", 4, tune::MaxStepSize, limits.stepSize);
    FVelocity = Real(this, "spnTuneVelocity", 1, 1000, limits.maxVelocity);
    FExperiments = SpinBox(this, "spnTuneExperiments", 3, tune::MaxExperiments, limits.maxExperiments);
    FSeconds = SpinBox(this, "spnTuneSeconds", 10, tune::MaxSeconds, limits.maxSeconds);
    FOvershoot = Real(this, "spnTuneOvershoot", 0.5, 50, limits.overshootPct);
    form->addRow(U("Ступенька, делений от середины:"), FStep);
    form->addRow(U("Скорость не выше, кИмп/сек:"), FVelocity);
    form->addRow(U("Опытов не больше:"), FExperiments);
    form->addRow(U("Время не больше, с:"), FSeconds);
    form->addRow(U("Перерегулирование не больше, %:"), FOvershoot);
    form->addRow(new QLabel(U("Меняются только Kp и Ki; в EEPROM — только по вашей команде.\n"
                              "Esc или «СТОП + СБРОС» прерывают настройку и возвращают исходные параметры."),
                            this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(U("Начать"));
    buttons->button(QDialogButtonBox::Cancel)->setText(U("Отмена"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

tune::TLimits TLimitsDialog::Limits() const {
    return {FStep->value(), FVelocity->value(), FExperiments->value(), FSeconds->value(), FOvershoot->value()};
}

TResultDialog::TResultDialog(QWidget* parent, const runs::TRun& start, const runs::TRun& tuned, const QString& summary)
    : QDialog(parent) {
    setObjectName("dlgAutoTuneResult");
    setWindowTitle(U("Автонастройка: результат"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(summary, this));
    const stepfig::TStepFigures& a = start.analysis.Figures;
    const stepfig::TStepFigures& b = tuned.analysis.Figures;
    const auto word = [](const runs::TRun& run, int i) -> std::optional<double> {
        if (!run.params) return std::nullopt;
        return paramwords::Text(i, (*run.params)[size_t(i)]).toDouble();
    };
    const std::vector<std::tuple<QString, std::optional<double>, std::optional<double>>> rows{
        {U("Kp"), word(start, 2), word(tuned, 2)},
        {U("Ki"), word(start, 3), word(tuned, 3)},
        {U("Нарастание, мс"), Value(a.RiseTime), Value(b.RiseTime)},
        {U("Перерегулирование, %"), Value(a.Overshoot), Value(b.Overshoot)},
        {U("Установление 5 %, мс"), Value(a.Settling5), Value(b.Settling5)},
        {U("Установление 2 %, мс"), Value(a.Settling2), Value(b.Settling2)},
        {U("Установившаяся ошибка"), Value(a.SteadyError), Value(b.SteadyError)}};
    auto* table = new QTableWidget(int(rows.size()), 3, this);
    table->setObjectName("tblTuneResult");
    table->setHorizontalHeaderLabels({U("Исходные"), U("Настроенные"), U("Разница")});
    for (int r = 0; r < int(rows.size()); ++r) {
        const auto& [name, from, to] = rows[size_t(r)];
        table->setVerticalHeaderItem(r, new QTableWidgetItem(name));
        table->setItem(r, 0, new QTableWidgetItem(Cell(from)));
        table->setItem(r, 1, new QTableWidgetItem(Cell(to)));
        table->setItem(r, 2, new QTableWidgetItem(from && to ? Cell(*to - *from) : U("–")));
    }
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setMinimumSize(460, 250);
    layout->addWidget(table);
    auto* row = new QHBoxLayout;
    auto* apply = new QPushButton(U("Применить"), this);
    apply->setObjectName("btnTuneApply");
    auto* save = new QPushButton(U("Применить и сохранить в Bank"), this);
    save->setObjectName("btnTuneSave");
    FBank = new QComboBox(this);
    FBank->setObjectName("cbTuneBank");
    for (int bank = 0; bank < protocol::BankCount; ++bank) FBank->addItem(QString::number(bank));
    auto* restore = new QPushButton(U("Вернуть исходные"), this);
    restore->setObjectName("btnTuneRestore");
    row->addWidget(apply);
    row->addWidget(save);
    row->addWidget(FBank);
    row->addStretch();
    row->addWidget(restore);
    layout->addLayout(row);
    const auto choose = [this](EChoice choice) {
        FChoice = choice;
        accept();
    };
    connect(apply, &QPushButton::clicked, this, [choose] { choose(EChoice::Apply); });
    connect(save, &QPushButton::clicked, this, [choose] { choose(EChoice::ApplyAndSave); });
    connect(restore, &QPushButton::clicked, this, [choose] { choose(EChoice::Restore); });
    restore->setDefault(true);
}

int TResultDialog::Bank() const { return FBank->currentIndex(); }

}  // namespace autotune
