// The group " Параметры ": the six parameter edits and the words they stand
// for, reading and writing them, and the EEPROM banks with loading and
// saving. The panel owns its controls (named as the window's design names
// them) and its handlers; the window binds them. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QObject>

#include "link/ParamWords.h"
#include "paramset/ParamSync.h"
#include "window/PanelHost.h"
#include "window/ReadSteps.h"

class QGroupBox;
class QLineEdit;
class QWidget;
class TControllerLink;
class TRadioGroup;

class TParamPanel : public QObject {
    Q_OBJECT
public:
    using THost = TPanelHost;
    using TWords = paramsync::TWords;

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
    // The same without storing: the words the edits stand for, or none.
    std::optional<TWords> EditWords();
    // Converts and writes the six words; none when an edit did not convert.
    std::optional<paramsync::TWriteBack> WriteParams();
    // A word read back: every edit is rewritten from the six words.
    void ParamDecoded(int index, uint16_t word);
    // The six reads, each emptying its edit when it fails.
    std::vector<TReadStep> ReadSteps();

    // An edit the user typed into since it was last read or written: what
    // "Задать" would change. Shown by a quiet mark, not the input error's.
    bool Edited(int index) const { return FEdited[size_t(index)]; }
    bool AnyEdited() const;
    // Reads the six words for another purpose than showing them: the edits,
    // their marks and the words stay as they are.
    paramsync::TReadBack ReadAside();
    // The words read are shown as read; the edits of those not read are emptied.
    void ShowReadBack(const paramsync::TReadBack& back);
    // The bank selected in " EEPROM ", none when no item is selected.
    std::optional<uint8_t> Bank() const;

private:
    void Build(QWidget* window);
    void BindEdit(int index);
    void SetEdited(int index, bool edited);
    bool ConvertInto(TWords& words);

    THost& FHost;
    QGroupBox* FGroup = nullptr;
    std::array<QLineEdit*, ParamCount> FEdits{};
    TRadioGroup* FBanks = nullptr;
    std::array<uint16_t, ParamCount> FWords{};  // as read, or as the edits last converted
    paramwords::TShownWords FShown;             // what the console put into the edits
    std::array<bool, ParamCount> FEdited{};     // typed into since read or written
    std::array<bool, ParamCount> FErrorShown{};  // marked red until its text changes
    bool FAside = false;                        // a read whose words are not shown
};
