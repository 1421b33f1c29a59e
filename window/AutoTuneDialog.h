// The dialogs of the automatic tuning: the limits asked before it starts,
// and the result beside the start with the choice of what the controller
// keeps. The window runs the tuning (AutoTuneHandlers.cpp). Main thread only.
#pragma once

#include <QDialog>

#include "runs/Run.h"
#include "tune/Limits.h"

class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace autotune {

class TLimitsDialog : public QDialog {
    Q_OBJECT
public:
    TLimitsDialog(QWidget* parent, const tune::TLimits& limits);
    tune::TLimits Limits() const;

private:
    QSpinBox* FStep;
    QDoubleSpinBox* FVelocity;
    QSpinBox* FExperiments;
    QSpinBox* FSeconds;
    QDoubleSpinBox* FOvershoot;
};

// What the user chose for the controller's words.
enum class EChoice { Restore, Apply, ApplyAndSave };

class TResultDialog : public QDialog {
    Q_OBJECT
public:
    // start, tuned: the starting and the best experiment's runs.
    TResultDialog(QWidget* parent, const runs::TRun& start, const runs::TRun& tuned, const QString& summary);
    EChoice Choice() const { return FChoice; }
    int Bank() const;

private:
    EChoice FChoice = EChoice::Restore;  // closing the dialog restores too
    QComboBox* FBank;
};

}  // namespace autotune
