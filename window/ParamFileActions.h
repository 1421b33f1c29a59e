// The parameter group's context menu (the right button, or the Menu key with
// the focus in the group): the controller's six parameters saved to a file,
// and a file's six loaded through a dialog that shows what differs, written,
// read back and optionally saved into the selected bank. Nothing is written
// from a file that is not whole and sound. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QObject>
#include <QMenu>
#include <QPointer>
#include <QString>

#include "paramset/ParamFile.h"
#include "paramset/ParamSync.h"
#include "window/PanelHost.h"

class QPoint;
class QWidget;
class TParamPanel;

class TParamFileActions : public QObject {
    Q_OBJECT
public:
    // `servoMode` tells the mode the window shows (-1: none) for the file.
    TParamFileActions(QWidget* window, TParamPanel& panel, TPanelHost& host, std::function<int()> servoMode);

    void SaveToFile();
    void LoadFromFile();
    // A set from elsewhere (a run's) through the same dialog, write and read-back.
    void LoadSet(const paramfile::TParamSet& set, const QString& about);

    // Which set to save when edits differ from the controller.
    enum ESetChoice { SaveNothing, SaveController, SaveEdits };
    // What asks the user; tests answer in their place.
    std::function<QString(bool save)> PathPrompt;
    std::function<ESetChoice()> SetPrompt;

private:
    void AddMenus();
    void ShowMenu(QWidget* at, const QPoint& position, QMenu* menu);
    bool AskAndSave(const paramfile::TWords& controller);
    // What a write from a file came to, for its report.
    void RunLater(const std::function<void()>& action);
    void WriteFromFile(const paramfile::TParamSet& set, bool saveBank);
    void Report(const paramfile::TWords& wanted, const paramsync::TStored& outcome, std::optional<uint8_t> bank);
    // What became of the bank save, when one was asked for.
    static QString BankLine(const paramsync::TStored& stored, uint8_t bank);
    QString DefaultPath(bool save) const;

    QWidget* FWindow;
    TParamPanel& FPanel;
    TPanelHost& FHost;
    std::function<int()> FServoMode;
    QPointer<QMenu> FMenu;  // the last menu shown, kept until the next replaces it
    bool FBusy = false;     // a file action runs: the menu offers none
    QString FLastPath;  // where the last file was saved or loaded, for the next prompt
};
