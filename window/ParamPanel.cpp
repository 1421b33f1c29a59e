#include "window/ParamPanel.h"

#include <optional>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

#include "link/ControllerLink.h"
#include "link/Protocol.h"
#include "window/EditMarks.h"
#include "window/LayoutParts.h"
#include "window/RadioGroup.h"

using namespace layoutparts;

namespace {

// Grid of the parameter edits: three columns, two rows, a label above each.
constexpr int ColumnX[3] = {8, 78, 148};
constexpr int LabelY[2] = {18, 58};
constexpr int EditY[2] = {32, 72};

QStringList BankItems() {
    QStringList items;
    for (int bank = 0; bank < protocol::BankCount; ++bank) items << QStringLiteral("Bank %1").arg(bank);
    return items;
}

QRect LabelRect(int row, int column) { return {ColumnX[column], LabelY[row], 68, 14}; }
QRect EditRect(int row, int column) { return {ColumnX[column], EditY[row], 64, 21}; }

// The bank byte of the selected item; none when no item is selected.
std::optional<uint8_t> SelectedBank(const TRadioGroup& group) {
    const int index = group.ItemIndex();
    if (index < 0) return std::nullopt;
    return uint8_t(index);
}

}  // namespace

TParamPanel::TParamPanel(QWidget* window, THost& host) : QObject(window), FHost(host) { Build(window); }

// The creation order is the tab order: edits down the columns, then the
// buttons, the bank group, "Загрузить", "Сохранить".
void TParamPanel::Build(QWidget* window) {
    FGroup = Named(layoutparts::Group(window, " Параметры ", {4, 112, 375, 129}), "gboxParams");
    // The labels' design names follow their creation down the columns.
    const char* const labels[ParamCount] = {"Label1", "Label3", "Label5", "Label2", "Label4", "Label6"};
    for (int i = 0; i < ParamCount; ++i)
        Named(Label(FGroup, paramwords::Label(i).toUtf8().constData(), LabelRect(i / 3, i % 3)), labels[i]);
    const char* const names[ParamCount] = {"edtParam1", "edtParam2", "edtParam3",
                                           "edtParam4", "edtParam5", "edtParam6"};
    for (int i = 0; i < ParamCount; ++i)
        FEdits[size_t(i)] = Named(Edit(FGroup, "", EditRect(i / 3, i % 3)), names[i]);
    // Hints show where a text is set: #1 to #5. #6 keeps its text unshown.
    const char* const hints[ParamCount - 1] = {
        "Ограничение скорости", "Усиление (gain), обратная связь по скорости",
        "Пропорциональный регулятор (коэфф. передачи)", "Интегральный регулятор (коэфф. передачи)",
        "Ограничение момента"};
    for (int i = 0; i < ParamCount - 1; ++i) FEdits[size_t(i)]->setToolTip(T(hints[i]));
    FEdits[5]->setStatusTip(QStringLiteral("Back-EMF compensation gain"));
    auto* get = Named(Button(FGroup, "Получить", {8, 98, 100, 25}), "btnGetParams");
    auto* set = Named(Button(FGroup, "Задать", {112, 98, 100, 25}), "btnSetParams");
    FBanks = Named(Place<TRadioGroup>(FGroup, {218, 12, 151, 112}, T(" EEPROM "),
                                      BankItems()),
                   "rgrpEEPROM");
    FBanks->SetItemIndex(0);
    FBanks->setToolTip(T("Bank 0 загружается при сбросе контроллера"));
    // Inside the bank group's frame, right of the items, but children of the group.
    auto* load = Named(Button(FGroup, "Загрузить", {290, 34, 74, 25}), "btnLoadEEPROM");
    auto* save = Named(Button(FGroup, "Сохранить", {290, 74, 74, 25}), "btnSaveEEPROM");

    FHost.BindClick(get, [this] { btnGetParamsClick(); });
    FHost.BindClick(set, [this] { btnSetParamsClick(); });
    FHost.BindClick(load, [this] { btnLoadEEPROMClick(); });
    FHost.BindClick(save, [this] { btnSaveEEPROMClick(); });
    for (int i = 0; i < ParamCount; ++i) BindEdit(i);
}

// Any change of the text takes the input error mark off (as in every edit of
// the window); the user's own typing puts the quiet mark on.
void TParamPanel::BindEdit(int index) {
    QLineEdit* edit = FEdits[size_t(index)];
    connect(edit, &QLineEdit::textChanged, this, [this, edit, index] {
        FHost.RunHandler([this, edit, index] {
            editmarks::Clear(edit);
            FErrorShown[size_t(index)] = false;
            SetEdited(index, FEdited[size_t(index)]);
        });
    });
    connect(edit, &QLineEdit::textEdited, this, [this, index] {
        FShown.Edited(index);
        SetEdited(index, true);
    });
}

void TParamPanel::SetEdited(int index, bool edited) {
    FEdited[size_t(index)] = edited;
    // The red mark of a refused input stays until the text changes.
    if (FErrorShown[size_t(index)]) return;
    editmarks::MarkEdited(FEdits[size_t(index)], edited);
}

bool TParamPanel::AnyEdited() const {
    for (bool edited : FEdited)
        if (edited) return true;
    return false;
}

bool TParamPanel::ConvertEdits() { return ConvertInto(FWords); }

std::optional<TParamPanel::TWords> TParamPanel::EditWords() {
    TWords words = FWords;
    if (!ConvertInto(words)) return std::nullopt;
    return words;
}

bool TParamPanel::ConvertInto(TWords& words) {
    for (int i = 0; i < ParamCount; ++i) {
        QLineEdit* edit = FEdits[size_t(i)];
        const QString text = edit->text();
        paramwords::TConversion word{paramwords::EOutcome::Converted, 0};
        if (const auto shown = FShown.Unchanged(i, text)) word.word = *shown;
        else word = paramwords::Convert(i, text);
        if (word.outcome != paramwords::EOutcome::Converted) {
            FHost.MarkInputError(edit);
            FErrorShown[size_t(i)] = true;
            if (word.outcome == paramwords::EOutcome::OutOfRange) FHost.ShowError(paramwords::RangeMessage(i));
            return false;
        }
        // Each word is stored before the next edit is read: a later bad edit
        // leaves the earlier words new (the chart uses word 1 at once).
        words[size_t(i)] = word.word;
    }
    return true;
}

void TParamPanel::btnGetParamsClick() { FHost.RunReadSteps(ReadSteps()); }

void TParamPanel::btnSetParamsClick() {
    const auto back = WriteParams();
    if (back && !back->AllAccepted())
        FHost.ShowError(T("Параметры записаны не все:\n") + back->FailureLines().join('\n'));
}

std::optional<paramsync::TWriteBack> TParamPanel::WriteParams() {
    if (!ConvertEdits()) return std::nullopt;
    // The texts as converted: the user may type while a write is waited for.
    std::array<QString, ParamCount> texts;
    for (int i = 0; i < ParamCount; ++i) texts[size_t(i)] = FEdits[size_t(i)]->text();
    // Each write waits for a poll under way instead of being dropped by it.
    const paramsync::TWriteBack back = paramsync::WriteAll(FHost.PanelLink(), FWords);
    for (int i = 0; i < ParamCount; ++i) {
        // What the controller took is what the edit stands for now.
        if (back.states[size_t(i)] != lsDone) continue;
        FShown.Filled(i, texts[size_t(i)], FWords[size_t(i)]);
        SetEdited(i, false);
    }
    return back;
}

// Every edit is rewritten from the six words: an edit whose word was not read
// shows the word it holds (the last read, or what "Задать" converted).
void TParamPanel::ParamDecoded(int index, uint16_t word) {
    if (FAside) return;
    FWords[size_t(index)] = word;
    const std::array<QString, ParamCount> texts = paramwords::Texts(FWords);
    for (int i = 0; i < ParamCount; ++i) {
        FEdits[size_t(i)]->setText(texts[size_t(i)]);
        FShown.Filled(i, texts[size_t(i)], FWords[size_t(i)]);
        SetEdited(i, false);
    }
}

paramsync::TReadBack TParamPanel::ReadAside() {
    const QScopedValueRollback aside(FAside, true);
    return paramsync::ReadAll(FHost.PanelLink());
}

void TParamPanel::ShowReadBack(const paramsync::TReadBack& back) {
    for (int i = 0; i < back.read; ++i) ParamDecoded(i, back.words[size_t(i)]);
    for (int i = back.read; i < ParamCount; ++i) {
        FEdits[size_t(i)]->clear();
        SetEdited(i, false);
    }
}

std::optional<uint8_t> TParamPanel::Bank() const { return SelectedBank(*FBanks); }

std::vector<TReadStep> TParamPanel::ReadSteps() {
    std::vector<TReadStep> steps;
    for (uint8_t i = 0; i < ParamCount; ++i) {
        QLineEdit* edit = FEdits[i];
        steps.push_back({QStringLiteral("R%1").arg(i), [this, i] { return FHost.PanelLink().SendReadParam(i); },
                         [this, edit, i] {
                             edit->clear();
                             SetEdited(i, false);
                         }});
    }
    return steps;
}

void TParamPanel::btnLoadEEPROMClick() {
    std::vector<TReadStep> steps;
    if (const auto bank = Bank())
        steps.push_back({QStringLiteral("L%1").arg(*bank),
                         [this, bank] { return FHost.PanelLink().SendLoadBank(*bank); }, nullptr});
    for (TReadStep& step : ReadSteps()) steps.push_back(std::move(step));
    FHost.RunReadSteps(steps);
}

// The bank stores the working set: only a set the controller took whole is
// what the window shows, so a write that failed saves nothing.
void TParamPanel::btnSaveEEPROMClick() {
    const auto back = WriteParams();
    if (!back) return;  // an edit did not convert: it is marked
    const auto bank = Bank();
    if (!back->AllAccepted()) {
        const QString where = bank ? QStringLiteral("Bank %1").arg(*bank) : QStringLiteral("Bank");
        FHost.ShowError(T("Параметры записаны не все, в %1 не сохранено:\n").arg(where) +
                        back->FailureLines().join('\n'));
        return;
    }
    if (!bank) return;
    // Not waited for: the link takes the reply in when it comes.
    TControllerLink& link = FHost.PanelLink();
    paramsync::SendWhenFree(link, [&link, bank] { return link.SendSaveBank(*bank); });
}
