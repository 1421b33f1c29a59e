// The dialog before a parameter file is written: each parameter's label, the
// controller's value and the file's, the rows that differ marked, and the
// choice of writing, writing and saving into the selected bank, or nothing.
// Main thread only.
#pragma once

#include <optional>

#include <QDialog>

#include "paramset/ParamSync.h"

class TParamDiffDialog : public QDialog {
    Q_OBJECT
public:
    enum EChoice { Cancel, Write, WriteAndSave };

    // `about`: a line naming the file and what it says of itself.
    TParamDiffDialog(QWidget* parent, const QString& about, const paramsync::TWords& controller,
                     const paramsync::TWords& file, std::optional<uint8_t> bank);

    EChoice Choice() const { return FChoice; }
    static int DifferingRows(const paramsync::TWords& controller, const paramsync::TWords& file);

private:
    void Choose(EChoice choice);
    EChoice FChoice = Cancel;
};
