// The regulator parameters and the EEPROM banks: reading and writing the six
// words, and loading or saving a bank. Main thread.
#include <array>
#include <optional>

#include <QLineEdit>

#include "MainUnit.h"
#include "ParamWords.h"
#include "RadioGroup.h"

namespace {

constexpr int ParamCount = paramwords::ParamCount;

// The bank byte of the selected item; none when no item is selected.
std::optional<uint8_t> SelectedBank(const TRadioGroup& group) {
    const int index = group.ItemIndex();
    if (index < 0) return std::nullopt;
    return uint8_t(index);
}

}  // namespace

std::array<QLineEdit*, ParamCount> TMainForm::ParamEdits() const {
    return {edtParam1, edtParam2, edtParam3, edtParam4, edtParam5, edtParam6};
}

bool TMainForm::ConvertParamEdits() {
    const std::array<QLineEdit*, ParamCount> edits = ParamEdits();
    for (int i = 0; i < ParamCount; ++i) {
        QLineEdit* edit = edits[size_t(i)];
        const QString text = edit->text();
        paramwords::TConversion word{paramwords::EOutcome::Converted, 0};
        if (const auto shown = FShownParams.Unchanged(i, text)) word.word = *shown;
        else word = paramwords::Convert(i, text);
        if (word.outcome != paramwords::EOutcome::Converted) {
            MarkInputError(edit);
            if (word.outcome == paramwords::EOutcome::OutOfRange) ShowError(paramwords::RangeMessage(i));
            return false;
        }
        // Each word is stored before the next edit is read: a later bad edit
        // leaves the earlier words new (the chart uses word 1 at once).
        FParams[size_t(i)] = word.word;
    }
    return true;
}

void TMainForm::btnGetParamsClick() { RunReadSteps(ParamReadSteps()); }

void TMainForm::btnSetParamsClick() { WriteParams(); }

bool TMainForm::WriteParams() {
    if (!ConvertParamEdits()) return false;
    // The texts as converted: the user may type while a write is waited for.
    std::array<QString, ParamCount> texts;
    for (int i = 0; i < ParamCount; ++i) texts[size_t(i)] = ParamEdits()[size_t(i)]->text();
    for (uint8_t i = 0; i < ParamCount; ++i) {
        const uint16_t word = FParams[i];
        Link->SendWriteParam(i, word);
        // What the controller took is what the edit stands for now.
        if (Link->WaitReply() == lsDone) FShownParams.Filled(i, texts[i], word);
    }
    return true;
}

// Every edit is rewritten from the six words: an edit whose word was not read
// shows the word it holds (the last read, or what "Задать" converted).
void TMainForm::LinkParamDecoded(int index, uint16_t word) {
    FParams[size_t(index)] = word;
    const std::array<QLineEdit*, ParamCount> edits = ParamEdits();
    const std::array<QString, ParamCount> texts = paramwords::Texts(FParams);
    for (int i = 0; i < ParamCount; ++i) {
        edits[size_t(i)]->setText(texts[size_t(i)]);
        FShownParams.Filled(i, texts[size_t(i)], FParams[size_t(i)]);
    }
}

void TMainForm::btnLoadEEPROMClick() {
    std::vector<TReadStep> steps;
    if (const auto bank = SelectedBank(*rgrpEEPROM))
        steps.push_back({QStringLiteral("L%1").arg(*bank),
                         [this, bank] { return Link->SendLoadBank(*bank); }, nullptr});
    for (TReadStep& step : ParamReadSteps()) steps.push_back(std::move(step));
    RunReadSteps(steps);
}

void TMainForm::btnSaveEEPROMClick() {
    // A bank save after edits that did not all convert would store the set
    // the controller held, not the one the window shows.
    if (!WriteParams()) return;
    // Not waited for: the link takes the reply in when it comes.
    if (const auto bank = SelectedBank(*rgrpEEPROM)) Link->SendSaveBank(*bank);
}
