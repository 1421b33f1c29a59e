#include "window/ParamFileActions.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>

#include "link/ControllerLink.h"
#include "link/Protocol.h"
#include "window/DefaultReport.h"
#include "window/ParamDiffDialog.h"
#include "window/ParamPanel.h"

namespace {

using paramwords::ParamCount;

QString U(const char* text) { return QString::fromUtf8(text); }

const char* SaveText = "Сохранить параметры в файл…";
const char* LoadText = "Загрузить параметры из файла…";
const char* FileFilter = "Параметры (*.json);;Все файлы (*)";

QString HeldLine(int index, paramsync::EHeld held, const paramfile::TWords& wanted,
                 const paramsync::TReadBack& back) {
    const QString label = paramwords::Label(index);
    const auto n = size_t(index);
    switch (held) {
    case paramsync::EHeld::Same: return U("%1: совпадает (%2)").arg(label, paramwords::Text(index, wanted[n]));
    case paramsync::EHeld::Different:
        return U("%1: в контроллере %2, в файле %3")
            .arg(label, paramwords::DistinctText(index, back.words[n], wanted[n]),
                 paramwords::DistinctText(index, wanted[n], back.words[n]));
    case paramsync::EHeld::NotRead: break;
    }
    return U("%1: не прочитан").arg(label);
}

QString ModeName(int mode) {
    if (mode < 0 || mode >= protocol::ServoModeCount) return U("не известен");
    return U(protocol::ServoModeNames[size_t(mode)]);
}

}  // namespace

TParamFileActions::TParamFileActions(QWidget* window, TParamPanel& panel, TPanelHost& host,
                                     std::function<int()> servoMode)
    : QObject(window), FWindow(window), FPanel(panel), FHost(host), FServoMode(std::move(servoMode)) {
    // Qt's own dialog, as the chart's exports use: the same on every desktop.
    PathPrompt = [this](bool save) {
        QFileDialog dialog(FWindow, U(save ? SaveText : LoadText).chopped(1), QString(), U(FileFilter));
        const QFileInfo start(DefaultPath(save));
        dialog.setDirectory(start.isDir() ? start.absoluteFilePath() : start.absolutePath());
        if (!start.isDir()) dialog.selectFile(start.fileName());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
        return dialog.selectedFiles().constFirst();
    };
    SetPrompt = [this] {
        QMessageBox box(QMessageBox::Question, U(SaveText).chopped(1),
                        U("Поля ввода отличаются от того, что хранит контроллер (они выделены). "
                          "Какой набор сохранить?"),
                        QMessageBox::Cancel, FWindow);
        QAbstractButton* controller = box.addButton(U("Контроллера"), QMessageBox::AcceptRole);
        QAbstractButton* edits = box.addButton(U("Полей ввода"), QMessageBox::AcceptRole);
        box.exec();
        if (box.clickedButton() == controller) return SaveController;
        return box.clickedButton() == edits ? SaveEdits : SaveNothing;
    };
    AddMenus();
}

QString TParamFileActions::DefaultPath(bool save) const {
    if (!FLastPath.isEmpty()) return FLastPath;
    return save ? QDir::home().filePath(U("параметры.json")) : QDir::homePath();
}

// The group and the controls that have no menu of their own pass the event
// up to the group; the edits keep their own menu, with these two added.
void TParamFileActions::AddMenus() {
    QGroupBox* group = FPanel.Group();
    group->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(group, &QWidget::customContextMenuRequested, this,
            [this, group](const QPoint& position) { ShowMenu(group, position, new QMenu(group)); });
    for (QLineEdit* edit : FPanel.Edits()) {
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(edit, &QWidget::customContextMenuRequested, this, [this, edit](const QPoint& position) {
            QMenu* menu = edit->createStandardContextMenu();
            menu->addSeparator();
            ShowMenu(edit, position, menu);
        });
    }
}

// The menu is kept until the next one replaces it, never deleted on its
// close: the actions' handlers wait for the controller and pump events, and
// a menu freed by those events would be freed under its own action. They run
// once the menu's own code is off the stack, one at a time.
void TParamFileActions::ShowMenu(QWidget* at, const QPoint& position, QMenu* menu) {
    if (FMenu) FMenu->deleteLater();
    FMenu = menu;
    menu->setObjectName("mnuParamFiles");
    QAction* save = menu->addAction(U(SaveText));
    QAction* load = menu->addAction(U(LoadText));
    save->setEnabled(!FBusy);
    load->setEnabled(!FBusy);
    connect(save, &QAction::triggered, this, [this] { RunLater([this] { SaveToFile(); }); });
    connect(load, &QAction::triggered, this, [this] { RunLater([this] { LoadFromFile(); }); });
    menu->popup(at->mapToGlobal(position));
}

void TParamFileActions::RunLater(const std::function<void()>& action) {
    FHost.RunHandlerLater([this, action] {
        if (FBusy) return;
        const QScopedValueRollback busy(FBusy, true);
        action();
    });
}

void TParamFileActions::SaveToFile() {
    const paramsync::TReadBack controller = FPanel.ReadAside();
    if (!controller.Complete()) {
        FHost.ShowError(U("Параметры не сохранены: ") +
                        paramsync::FailureText(controller.failed, controller.FailedStep()));
        return;
    }
    AskAndSave(controller.words);
}

bool TParamFileActions::AskAndSave(const paramfile::TWords& controller) {
    paramfile::TParamSet set;
    set.words = controller;
    if (FPanel.AnyEdited()) {
        const ESetChoice choice = SetPrompt();
        if (choice == SaveNothing) return false;
        if (choice == SaveEdits) {
            const auto edits = FPanel.EditWords();  // a bad edit is marked and named
            if (!edits) return false;
            set.words = *edits;
        }
    }
    const QString path = PathPrompt(true);
    if (path.isEmpty()) return false;
    const std::string& ident = FHost.PanelLink().IdentText();
    set.controller = QString::fromLatin1(ident.data(), qsizetype(ident.size()));
    set.time = QDateTime::currentDateTimeUtc();
    set.servoMode = FServoMode();
    if (const auto error = paramfile::Save(path, set)) {
        FHost.ShowError(U("Не удалось записать %1: %2").arg(path, *error));
        return false;
    }
    FLastPath = path;
    return true;
}

void TParamFileActions::LoadFromFile() {
    const QString path = PathPrompt(false);
    if (path.isEmpty()) return;
    const paramfile::TReadResult file = paramfile::Load(path);
    if (!file.set) {
        FHost.ShowError(paramfile::RefusalMessage(path, file.refusal));
        return;
    }
    FLastPath = path;
    const paramfile::TParamSet& set = *file.set;
    LoadSet(set, U("Файл: %1\nКонтроллер: %2\nСохранён: %3, режим: %4")
                     .arg(QFileInfo(path).fileName(),
                          set.controller.isEmpty() ? U("не указан") : set.controller,
                          set.time.isValid() ? set.time.toLocalTime().toString("yyyy-MM-dd HH:mm:ss")
                                             : U("не указано"),
                          ModeName(set.servoMode)));
}

void TParamFileActions::LoadSet(const paramfile::TParamSet& set, const QString& about) {
    const paramsync::TReadBack controller = FPanel.ReadAside();
    if (!controller.Complete()) {
        FHost.ShowError(U("Параметры не записаны: ") +
                        paramsync::FailureText(controller.failed, controller.FailedStep()));
        return;
    }
    TParamDiffDialog dialog(FWindow, about, controller.words, set.words, FPanel.Bank());
    dialog.exec();
    if (dialog.Choice() == TParamDiffDialog::Cancel) return;
    WriteFromFile(set, dialog.Choice() == TParamDiffDialog::WriteAndSave);
}

// Written as "Задать" writes, read back, and saved into the bank only when
// the controller took every write and holds every word of the file.
void TParamFileActions::WriteFromFile(const paramfile::TParamSet& set, bool saveBank) {
    const std::optional<uint8_t> bank = saveBank ? FPanel.Bank() : std::nullopt;
    const paramsync::TStored stored = paramsync::WriteVerifySave(FHost.PanelLink(), set.words, bank,
                                                                 paramsync::EOnFailure::GoOn,
                                                                 [this] { return FPanel.ReadAside(); });
    FPanel.ShowReadBack(*stored.back);
    Report(set.words, stored, bank);
}

QString TParamFileActions::BankLine(const paramsync::TStored& stored, uint8_t bank) {
    using paramsync::EBankSave;
    switch (stored.bank) {
    case EBankSave::NotAsked: return {};
    case EBankSave::Saved: return U("Сохранено в Bank %1.").arg(bank);
    case EBankSave::NotAllWritten: return U("В Bank %1 не сохранено: не все параметры записаны.").arg(bank);
    case EBankSave::NotHeld: return U("В Bank %1 не сохранено: контроллер хранит не то, что в файле.").arg(bank);
    case EBankSave::Failed:
        return U("В Bank %1 не сохранено: %2")
            .arg(bank)
            .arg(paramsync::FailureText(stored.saveState, QStringLiteral("S%1").arg(bank)));
    }
    return {};
}

void TParamFileActions::Report(const paramfile::TWords& wanted, const paramsync::TStored& outcome,
                               std::optional<uint8_t> bank) {
    const paramsync::TReadBack& back = *outcome.back;
    const auto held = paramsync::Compare(wanted, back);
    QStringList lines;
    lines << (paramsync::AllSame(held) ? U("Контроллер хранит все параметры файла.")
                                       : U("Контроллер хранит не то, что в файле:"));
    for (int i = 0; i < ParamCount; ++i) lines << HeldLine(i, held[size_t(i)], wanted, back);
    lines << outcome.writes.FailureLines();
    if (!back.Complete()) lines << paramsync::FailureText(back.failed, back.FailedStep());
    if (bank) lines << BankLine(outcome, *bank);
    QMessageBox box(outcome.Fine(wanted) ? QMessageBox::Information : QMessageBox::Critical, U("Параметры из файла"),
                    lines.join('\n'), QMessageBox::Ok, FWindow);
    report::ExecUnlessShown(box);
}
