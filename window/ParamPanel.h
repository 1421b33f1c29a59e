// The group " Параметры ": the six parameter edits and the words they stand
// for, reading and writing them, and the EEPROM banks with loading and
// saving. The panel owns its controls (named as the window's design names
// them) and its handlers; the window binds them. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include <QObject>

#include "ParamWords.h"
#include "PanelHost.h"
#include "ReadSteps.h"

class QGroupBox;
class QLineEdit;
class QWidget;
class TControllerLink;
class TRadioGroup;

class TParamPanel : public QObject {
    Q_OBJECT
public:
    using THost = TPanelHost;

    static constexpr int ParamCount = paramwords::ParamCount;

    // Builds the group and its controls in the window.
    TParamPanel(QWidget* window, THost& host);

    QGroupBox* Group() const { return FGroup; }
    // The edits of parameters #1 to #6, in wire order.
    std::array<QLineEdit*, ParamCount> Edits() const { return FEdits; }
    // Word 1 is Kf, which the chart's command velocity uses.
    const std::array<uint16_t, ParamCount>& Words() const { return FWords; }
    void SetWords(const std::array<uint16_t, ParamCount>& words) { FWords = words; }

    void btnGetParamsClick();
    void btnSetParamsClick();
    void btnLoadEEPROMClick();
    void btnSaveEEPROMClick();
    // Converts the six edits into the words; false (edit marked, a range
    // named) at the first that does not convert.
    bool ConvertEdits();
    // Converts and writes the six words; false when an edit did not convert.
    bool WriteParams();
    // A word read back: every edit is rewritten from the six words.
    void ParamDecoded(int index, uint16_t word);
    // The six reads, each emptying its edit when it fails.
    std::vector<TReadStep> ReadSteps();

private:
    void Build(QWidget* window);

    THost& FHost;
    QGroupBox* FGroup = nullptr;
    std::array<QLineEdit*, ParamCount> FEdits{};
    TRadioGroup* FBanks = nullptr;
    std::array<uint16_t, ParamCount> FWords{};  // as read, or as the edits last converted
    paramwords::TShownWords FShown;             // what the console put into the edits
};
