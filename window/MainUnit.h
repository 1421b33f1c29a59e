// The main window: its panels composed, start-up, connecting, the walks and
// rules that span panels, the stop, the live measurement and the keys.
// Connecting is in Connection.cpp, the stop in StopHandler.cpp, the
// measurement in MeasureHandlers.cpp, the keys in Shortcuts.cpp.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "comm/CommInt.h"
#include "link/ControllerLink.h"
#include "link/Protocol.h"
#include "measure/Measurement.h"
#include "measure/StepStart.h"
#include "record/RecordFacts.h"
#include "runs/RunLibrary.h"
#include "window/AutoTuneDialog.h"
#include "window/AutoTuneRun.h"
#include "window/ConnectionPanel.h"
#include "window/DrivePanel.h"
#include "window/HandlerGuard.h"
#include "window/MeasureSettingsPanel.h"
#include "window/PanelHost.h"
#include "window/ParamFileActions.h"
#include "window/ParamPanel.h"
#include "window/PositionPanel.h"
#include "window/ReadSteps.h"
#include "window/StepTest.h"

class QAbstractButton;
class QCustomPlot;
class TSeriesGraph;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TStatusBar;
class TShortcutHook;
class TChartFeed;
class TChartCursor;
class TChartMenu;
class TRunsWindow;
class TTrafficWindow;
class TFailureTicks;
namespace traffic {
class TLog;
}
namespace testsupport {
struct TWindowParts;
}

class TMainForm : public QWidget, public TLinkListener, public TPanelHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    static constexpr int ClientWidth = 782;
    static constexpr int ClientHeight = 525;

    // Window events.
    void FormCreate();
    void FormDestroy();

    // Connection.
    void btnConnectClick();
    void btnDisconnectClick();
    void DisableControls();
    void EnableControls();
    void ApplyModeRule();
    void edtParam1Change(QLineEdit* sender);
    void MarkInputError(QLineEdit* edit) override;

    void btnSTOPClick();

    // TPanelHost
    TControllerLink& PanelLink() override { return *Link; }
    void RunReadSteps(const std::vector<TReadStep>& steps) override;
    void BindClick(QAbstractButton* button, std::function<void()> handler) override;
    // Runs an event handler of this window: whatever escapes it goes to the
    // default report, and the window is not destroyed before it has returned.
    // Once the window is closed, handlers no longer run.
    void RunHandler(const std::function<void()>& handler) override;
    void RunHandlerLater(const std::function<void()>& handler) override;

    // Every measurement becomes a run (RunHandlers.cpp); the runs window
    // opens from the chart's menu.
    TRunsWindow* ShowRuns();
    // The traffic log's window (TrafficHandlers.cpp), from the chart's menu.
    TTrafficWindow* ShowTraffic();

    // The guided step test (StepTestHandlers.cpp), its settings asked in a dialog.
    void StartStepTest();
    bool StepTestRunning() const { return FMeasure->StepRunning(); }
    bool AbortStepTest(bool lineUsable = true);  // true when one (or a tuning) was running
    // The automatic tuning (AutoTuneHandlers.cpp), its limits asked in a dialog.
    void StartAutoTune();
    bool AutoTuneRunning() const { return FTune != nullptr; }

    // Live measurement: the toggle; the polling, the record and the step
    // plan are the measurement's.
    void btnGraphClick();
    measure::TMeasurement& Measurement() { return *FMeasure; }
    // The only writer of the three series' points; made on first use.
    TChartFeed* ChartFeed();

    // Keyboard shortcuts: called for every key press before dispatch; true
    // when the key acted.
    bool ApplicationMessage(int virtualKey);

    // Modal error box: stop icon, caption "Error", one OK.
    void ShowError(const QString& text) override;

    // The device hung up or went away: the measurement stops, the port is closed, the window is disconnected with
    // the chart kept, and one message naming the device is shown once no
    // handler is running any more.
    void LineLost();

    bool Closed() const { return FHandlers.Closed(); }

    // TLinkListener
    void LinkIdentified(const QString& panelText) override;
    void LinkModeDecoded(int mode) override;
    void LinkPositionDecoded(int32_t position) override;
    void LinkTargetDecoded(int32_t target) override;
    void LinkParamDecoded(int index, uint16_t word) override;
    void LinkStatusText(const QString& text) override;
    void LinkCaptionOverflow() override;
    void LinkReadError() override;
    void LinkTimedOut() override;
    void LinkReplyFailed(uint8_t code, TLinkState state) override;
    void LinkSampleDecoded(const TLinkSample& sample) override;
    void LinkTransactionEnded(uint8_t code, TLinkState state) override;

    // After this many time-outs in a row the window says the controller is silent.
    bool ControllerSilent() const { return FTimeoutsInRow >= protocol::SilentAfterTimeouts; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // Tests reach the parts besides the controls through tests/support alone.
    friend struct testsupport::TWindowParts;

    // The port box with connecting and disconnecting.
    TConnectionPanel* Connection = nullptr;
    // The servo mode and the manual drive.
    TDrivePanel* Drive = nullptr;

    // Parameters and EEPROM: the panel's own handlers.
    TParamPanel* Params = nullptr;
    // The parameter group's menu: the six saved to and loaded from files.
    TParamFileActions* ParamFiles = nullptr;

    // The positions: the panel's own handlers.
    TPositionPanel* Positions = nullptr;
    // The measurement's settings; the measurement's handlers are the window's.
    TMeasureSettingsPanel* Settings = nullptr;

    // Every measurement becomes a run (RunHandlers.cpp). What asks for a
    // run's file; tests answer here.
    runs::TRunLibrary* Runs = nullptr;
    std::function<QString(bool save, const QString& suggested)> RunPathPrompt;

    // Components without a window.
    TComm* UART = nullptr;
    std::unique_ptr<TControllerLink> Link;

    // Controls.
    TStatusBar* StatusBar = nullptr;
    QPushButton* btnSTOP = nullptr;
    QPushButton* btnGraph = nullptr;
    QCustomPlot* Chart1 = nullptr;
    TSeriesGraph* Series1 = nullptr;
    TSeriesGraph* Series2 = nullptr;
    TSeriesGraph* Series3 = nullptr;
    TChartMenu* ChartMenu = nullptr;      // the chart's context menu and its exports
    TChartCursor* ChartCursor = nullptr;  // the readout under the mouse while stopped

    void BindClick(QAbstractButton* button, void (TMainForm::*handler)());
    void BindEditChange(QLineEdit* edit);
    void ApplyHintTiming();
    void OpenPort();
    void ConnectSequence();
    void NoteLinkFailure(const QString& text);
    void ShowLinkNote(const QString& note);
    bool AbsorbLineFailure(const std::exception_ptr& error);
    void SetDisconnectedState();
    void RepeatDisconnectedState();  // unless a new connection has been made meanwhile
    void ShowLostMessage();

    // The controller's state in panel 1 (ControllerWatch.cpp): its
    // identification while it answers, that it is silent, or that none is connected.
    void ShowControllerPanel();
    void NoteAnswer(TLinkState state);
    void WatchStop(uint8_t code, TLinkState state);
    QString FIdentPanel;            // "Контроллер: ..." of the connected controller
    QString FOffPanel;              // panel 1 while no controller is connected
    int FTimeoutsInRow = 0;
    bool FStopWatched = false;      // a stop's set-mode is under way
    bool FStopDriveFailed = false;  // the zero it sent was not taken

    // Multi-step reads (ReadSteps.cpp).
    TLinkState RunReadStep(const TReadStep& step);
    std::vector<TReadStep> ConnectReadSteps();

    // Handlers on the stack; closed: the port is shut and handlers stop.
    THandlerGuard FHandlers{*this, [this](const QString& note) { ShowLinkNote(note); }};
    QElapsedTimer FNoteShown;       // when panel 0 last told of a time-out
    static constexpr int NoteHoldMs = 1500;
    QString FLostMessage;           // the line-lost message, until it can be shown

    void BuildLayout();
    void NameControls();
    void BuildChart();
    void BuildChartTools();  // ChartTools.cpp
    // ChartTools.cpp: what the points are measured under, told the exports.
    recordfacts::TFacts MeasuredUnder(int periodMs, int historyDepth) const;
    void NoteChartRun(const recordfacts::TFacts& facts);
    std::unique_ptr<measure::TRecordStore> ChartStore();
    void ShowNewPoints();
    void ConnectHandlers();
    void SetMeasureSettingsEnabled(bool stopped);
    void SetZoomAllowed(bool allowed);

    std::unique_ptr<TShortcutHook> FShortcutHook;

    void BeginRun(const recordfacts::TFacts& facts);
    void EndRun(bool aborted);
    void AddRunEntries();
    void StepTestAction(steptest::EAction action);
    steptest::TSettings FStepSettings;
    bool FStepRegulatorReset = false;  // the test under way reset the regulator first
    measure::EStepStart CleanStart();
    measure::EStepStart RunStepTest();
    bool DropStepTest(bool lineUsable);  // the step test alone; true when one was running
    void EndStepTest();
    std::unique_ptr<TAutoTuneRun> FTune;
    static constexpr int TuneRestLimitMs = 2000;
    tune::TLimits FTuneLimits;
    void NextTuneExperiment();
    QString BestSoFar() const;
    void WatchTuneSample();
    void TuneExperimentEnded(bool recorded = true);
    bool AbortAutoTune(bool lineUsable, const QString& why);
    void FinishAutoTune();
    void ApplyTuneChoice(autotune::EChoice choice, int bank, const paramsync::TWords& words);
    TRunsWindow* FRunsView = nullptr;
    void BuildTraffic();
    std::unique_ptr<traffic::TLog> FTraffic;
    std::unique_ptr<TFailureTicks> FFailureTicks;
    TTrafficWindow* FTrafficView = nullptr;
    QElapsedTimer FConnectClock;  // the log's time while not measuring
    QElapsedTimer FMeasureClock;  // from the run's start: the record's time base

    // Live measurement (MeasureHandlers.cpp).
    measure::TMeasurement::THooks MeasureHooks();
    void StartMeasurement();
    void StopMeasuring();
    void StopMeasurementForDisconnect();  // also when a poll finds the port gone

    std::unique_ptr<measure::TRecordStore> FChartStore;  // the record, in the chart's series
    measure::TMeasurement* FMeasure = nullptr;
    TChartFeed* FChartFeed = nullptr;      // a child of Chart1
};
