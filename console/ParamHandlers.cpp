// The regulator parameters and the EEPROM banks: reading and writing the six
// words, and loading or saving a bank. Main thread.
#include <array>
#include <optional>

#include <QLineEdit>

#include "MainUnit.h"
#include "NumberText.h"
#include "RadioGroup.h"

namespace {

constexpr int ParamCount = 6;

// #2 to #4 are unsigned 8.8 fixed point; the others are whole numbers.
bool IsFixedPoint(int index) { return index >= 1 && index <= 3; }

// The word of one edit: the low 16 bits of the whole number, or of the value
// x 256 rounded half to even. Empty when the text does not convert; a value
// too large for 64 bits throws numtext::EOverflow.
std::optional<uint16_t> ParamWord(int index, const QString& text) {
    if (!IsFixedPoint(index)) {
        const auto value = numtext::StrToInt(text);
        if (!value) return std::nullopt;
        return uint16_t(uint32_t(*value));
    }
    const auto value = numtext::StrToFloat(text);
    if (!value) return std::nullopt;
    return uint16_t(uint64_t(numtext::RoundHalfEvenToInt64(*value * 256.0L)));
}

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
    for (size_t i = 0; i < edits.size(); ++i) {
        // Each word is stored before the next edit is read: a later bad edit
        // leaves the earlier words new (the chart uses word 1 at once).
        const auto word = ParamWord(int(i), edits[i]->text());
        if (!word) {
            MarkInputError(edits[i]);
            return false;
        }
        Link->FParams[i] = *word;
    }
    return true;
}

void TMainForm::btnGetParamsClick() { RunReadSteps(ParamReadSteps()); }

void TMainForm::btnSetParamsClick() {
    if (!ConvertParamEdits()) return;
    for (uint8_t i = 0; i < ParamCount; ++i) {
        Link->SendWriteParam(i, Link->FParams[i]);
        Link->WaitReply();
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
    // An overflow in the conversion leaves here too: then no save is sent.
    btnSetParamsClick();
    // Not waited for: the link takes the reply in when it comes.
    if (const auto bank = SelectedBank(*rgrpEEPROM)) Link->SendSaveBank(*bank);
}
