// The measurement's settings: the velocity unit " Скорость ", the history
// depth " История ", the pulses per millimetre " Encoder " and the period
// " Период , мс". The panel owns these groups and their controls (named as
// the window's design names them), reads them at a start and enables them by
// the measurement's state and the servo mode. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QObject>
#include <QString>

class QLineEdit;
class QWidget;
class TRadioGroup;

class TMeasureSettingsPanel : public QObject {
    Q_OBJECT
public:
    // Builds the unit, history and encoder groups; the period group comes
    // later in the window's order (BuildPeriod), after the parameters.
    explicit TMeasureSettingsPanel(QWidget* window);
    void BuildPeriod(QWidget* window);

    TRadioGroup* UnitGroup() const { return FUnit; }
    int Unit() const;
    QString UnitText() const;
    QLineEdit* HistoryEdit() const { return FHistory; }
    QLineEdit* PulsesEdit() const { return FPulses; }
    QLineEdit* PeriodEdit() const { return FPeriod; }

    // History and period while stopped; the unit and the pulses in the
    // velocity mode while stopped (or whatever the measurement does, for the
    // mode rule).
    void SetEnabled(bool stopped, int servoMode);
    void SetUnitEnabled(bool stopped, int servoMode);

    // The history depth, pulses per millimetre and period in this order,
    // each handed over before the next is read; the first that does not
    // convert is marked and ends the reading. The period, when all converted.
    struct TSink {
        std::function<void(QLineEdit*)> markError;
        std::function<void(int32_t)> historyDepth;
        std::function<void(int32_t)> pulsesPerMm;
    };
    std::optional<int32_t> Read(const TSink& sink) const;

    // A test's own period, and a depth of at least `depth`; the user's texts
    // are kept and put back by RestoreKept.
    void UseForTest(int periodMs, int depth);
    void RestoreKept();

private:
    TRadioGroup* FUnit = nullptr;
    QLineEdit* FHistory = nullptr;
    QLineEdit* FPulses = nullptr;
    QLineEdit* FPeriod = nullptr;
    QString FKeptPeriod, FKeptHistory;
};
