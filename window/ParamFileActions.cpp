#include "ParamFileActions.h"

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

#include "ControllerLink.h"
#include "DefaultReport.h"
#include "ParamDiffDialog.h"
#include "ParamPanel.h"
#include "Protocol.h"

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
            .arg(label, paramwords::Text(index, back.words[n]), paramwords::Text(index, wanted[n]));
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
    PathPrompt = [this](bool save) {
        const QString title = U(save ? SaveText : LoadText).chopped(1);
        return save ? QFileDialog::getSaveFileName(FWindow, title, DefaultPath(true), U(FileFilter))
                    : QFileDialog::getOpenFileName(FWindow, title, DefaultPath(false), U(FileFilter));
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

void TParamFileActions::ShowMenu(QWidget* at, const QPoint& position, QMenu* menu) {
    menu->setObjectName("mnuParamFiles");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* save = menu->addAction(U(SaveText));
    QAction* load = menu->addAction(U(LoadText));
    connect(save, &QAction::triggered, this, [this] { FHost.RunHandler([this] { SaveToFile(); }); });
    connect(load, &QAction::triggered, this, [this] { FHost.RunHandler([this] { LoadFromFile(); }); });
    menu->popup(at->mapToGlobal(position));
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
// the controller holds every word of the file.
void TParamFileActions::WriteFromFile(const paramfile::TParamSet& set, bool saveBank) {
    TControllerLink& link = FHost.PanelLink();
    paramsync::WriteAll(link, set.words);
    const paramsync::TReadBack back = FPanel.ReadAside();
    FPanel.ShowReadBack(back);
    const bool same = paramsync::AllSame(paramsync::Compare(set.words, back));
    const auto bank = FPanel.Bank();
    QString bankLine;
    if (saveBank && bank && !same) {
        bankLine = U("В Bank %1 не сохранено: контроллер хранит не то, что в файле.").arg(*bank);
    } else if (saveBank && bank) {
        while (!link.SendSaveBank(*bank)) link.WaitReply();
        const TLinkState state = link.WaitReply();
        bankLine = state == lsDone ? U("Сохранено в Bank %1.").arg(*bank)
                                   : U("В Bank %1 не сохранено: %2").arg(*bank).arg(
                                         paramsync::FailureText(state, QStringLiteral("S%1").arg(*bank)));
    }
    Report(set.words, back, bankLine);
}

void TParamFileActions::Report(const paramfile::TWords& wanted, const paramsync::TReadBack& back,
                               const QString& bankLine) {
    const auto held = paramsync::Compare(wanted, back);
    QStringList lines;
    lines << (paramsync::AllSame(held) ? U("Контроллер хранит все параметры файла.")
                                       : U("Контроллер хранит не то, что в файле:"));
    for (int i = 0; i < ParamCount; ++i) lines << HeldLine(i, held[size_t(i)], wanted, back);
    if (!back.Complete()) lines << paramsync::FailureText(back.failed, back.FailedStep());
    if (!bankLine.isEmpty()) lines << bankLine;
    const bool fine = paramsync::AllSame(held) && !bankLine.contains(U("не сохранено"));
    QMessageBox box(fine ? QMessageBox::Information : QMessageBox::Critical, U("Параметры из файла"),
                    lines.join('\n'), QMessageBox::Ok, FWindow);
    report::ExecUnlessShown(box);
}
