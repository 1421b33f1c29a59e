// The guided step test: its settings (the step in bar units within a limit,
// the time before and after it, the period) with the dialog that asks for
// them, and the phases a test goes through. The window runs it
// (StepTestHandlers.cpp). Main thread only.
#pragma once

#include <optional>

#include <QDialog>

class QSpinBox;

namespace steptest {

constexpr int StepLimit = 64;  // bar units either way: a step a motor on a bench takes safely

struct TSettings {
    int step = 32;        // bar units from the centre, never 0
    int beforeMs = 500;   // of the record's time, from the start to the step
    int afterMs = 1500;   // from the step to the end
    int periodMs = 5;
};

enum class EPhase { Idle, Before, After };

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
};

}  // namespace steptest
