// The dialog that asks for the guided step test's settings, within the
// plan's limits. The window runs the test (StepTestHandlers.cpp). Main thread only.
#pragma once

#include <optional>

#include <QDialog>

#include "runs/StepPlan.h"

class QCheckBox;
class QSpinBox;

namespace steptest {

// Asks for the settings; none when cancelled.
class TDialog : public QDialog {
    Q_OBJECT
public:
    TDialog(QWidget* parent, const TSettings& settings);
    TSettings Settings() const;

private:
    QSpinBox* FStep;
    QSpinBox* FBefore;
    QSpinBox* FAfter;
    QSpinBox* FPeriod;
    QCheckBox* FReset;
};

}  // namespace steptest
