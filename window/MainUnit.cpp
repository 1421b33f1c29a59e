// The main window: creation and destruction, connecting and disconnecting,
// the two enable walks, the mode-dependent control rule, the input error
// mark, error boxes and what the window does with each decoded reply.
// Main thread only.
#include "MainUnit.h"

#include <exception>
#include <utility>

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <qcustomplot.h>

#include "ChartFeed.h"
#include "ConsoleLine.h"
#include "DefaultReport.h"
#include "FormStyle.h"
#include "OpenPatience.h"
#include "OwnEnabled.h"
#include "PortAdvice.h"
#include "PortChoice.h"
#include "Protocol.h"
#include "RadioGroup.h"
#include "SeriesGraph.h"
#include "ShortcutHook.h"
#include "StatusBar.h"
#include "TrackBar.h"

namespace {

// Controls placed directly in a window or container, in its child order.
QList<QWidget*> DirectControls(const QWidget* parent) {
    QList<QWidget*> controls;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow()) controls << widget;
    }
    return controls;
}

// Both walks: the window's controls and the controls directly inside them.
// The chart is never disabled: its recording stays readable and exportable
// after a disconnect or a lost line.
void WalkTwoLevels(const QWidget* window, bool enabled, const QWidget* chart) {
    for (QWidget* control : DirectControls(window)) {
        if (control == chart) continue;
        control->setEnabled(enabled);
        for (QWidget* inner : DirectControls(control)) inner->setEnabled(enabled);
    }
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Servo-Controller setup"));
    UART = new TComm(this);
    UART->SetDeviceName("COM1");
    consoleline::Configure(*UART);
    Link = std::make_unique<TControllerLink>(*UART, this);
    consoleline::Bind(*UART, *Link, [this] { LineLost(); });
    Timer1 = new QTimer(this);
    Timer1->setInterval(16);
    Timer1->setTimerType(Qt::PreciseTimer);

    BuildLayout();
    ConnectHandlers();
    FormCreate();
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::ConnectHandlers() {
    BindClick(btnConnect, &TMainForm::btnConnectClick);
    BindClick(btnDisconnect, &TMainForm::btnDisconnectClick);
    BindClick(btnGetPosition, &TMainForm::btnGetPositionClick);
    BindClick(btnGetZ, &TMainForm::btnGetZClick);
    BindClick(btnSetPosition, &TMainForm::btnSetPositionClick);
    BindClick(btnSTOP, &TMainForm::btnSTOPClick);
    BindClick(btnGraph, &TMainForm::btnGraphClick);
    BindClick(sbtnCenter, &TMainForm::sbtnCenterClick);
    BindClick(btnGetParams, &TMainForm::btnGetParamsClick);
    BindClick(btnSetParams, &TMainForm::btnSetParamsClick);
    BindClick(btnLoadEEPROM, &TMainForm::btnLoadEEPROMClick);
    BindClick(btnSaveEEPROM, &TMainForm::btnSaveEEPROMClick);
    connect(rgServoMode, &TRadioGroup::Click, this,
            [this] { RunHandler([this] { rgServoModeClick(); }); });
    connect(tbarSubCommand, &TTrackBar::Change, this,
            [this] { RunHandler([this] { tbarSubCommandChange(); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { RunHandler([this] { Timer1Timer(); }); });
    // edtParam2..6 share the reset too, so a marked parameter edit recovers like #1.
    for (QLineEdit* edit : {edtPosition, edtPosTo, edtHistoryDepth, edtPulsesPerMilimeter,
                            edtParam1, edtParam2, edtParam3, edtParam4, edtParam5, edtParam6,
                            edtTimerPeriod})
        BindEditChange(edit);
    const std::array<QLineEdit*, 6> params = ParamEdits();
    for (int i = 0; i < int(params.size()); ++i)
        connect(params[size_t(i)], &QLineEdit::textEdited, this, [this, i] { FShownParams.Edited(i); });
}

void TMainForm::BindClick(QAbstractButton* button, void (TMainForm::*handler)()) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
}

void TMainForm::BindEditChange(QLineEdit* edit) {
    connect(edit, &QLineEdit::textChanged, this,
            [this, edit] { RunHandler([this, edit] { edtParam1Change(edit); }); });
}

void TMainForm::RunHandler(const std::function<void()>& handler) {
    FHandlers.Run(handler, [this](const std::exception_ptr& error) {
        // A lost line has its own message.
        if (!AbsorbLineFailure(error)) report::RunHandler([&error] { std::rethrow_exception(error); });
    });
}

// True for what a lost line raises: the link's own ELinkLost, or a port error
// whose code says the device hung up or went away (a write that met it before
// the event thread did).
bool TMainForm::AbsorbLineFailure(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ELinkLost&) {
        return true;
    } catch (const ECommError& e) {
        // A port that failed to open is reported as it is, whatever its code.
        if (!IsLineGoneError(e.ErrorCode) || !UART->Enabled()) return false;
        LineLost();
        return true;
    } catch (...) {
        return false;
    }
}

void TMainForm::FormCreate() {
    FShortcutHook = std::make_unique<TShortcutHook>(this);
    ApplyHintTiming();
    FHistoryDepth = 100;
    FPulsesPerMm = 80;
    ChartFeed()->Clear();
    Link->ClearTransactionArea();
    Chart1->yAxis->setLabelColor(Series1->pen().color());
    Chart1->yAxis2->setLabelColor(Series2->pen().color());
    FMeasureStopped = 1;
    Link->ResetToIdle();
    Link->ClearDecoded();
    FSample = {};
    FParams.fill(0);
    DisableControls();
}

// Hints show only where a text is set; the window's style times them.
void TMainForm::ApplyHintTiming() {
    edtParam1->setToolTip(QString::fromUtf8("Ограничение скорости"));
    edtParam2->setToolTip(QString::fromUtf8("Усиление (gain), обратная связь по скорости"));
    edtParam3->setToolTip(QString::fromUtf8("Пропорциональный регулятор (коэфф. передачи)"));
    edtParam4->setToolTip(QString::fromUtf8("Интегральный регулятор (коэфф. передачи)"));
    edtParam5->setToolTip(QString::fromUtf8("Ограничение момента"));
    rgrpEEPROM->setToolTip(QString::fromUtf8("Bank 0 загружается при сбросе контроллера"));
    (new TFormStyle(this))->ApplyTo(this);
}

void TMainForm::FormDestroy() { UART->Close(); }

void TMainForm::closeEvent(QCloseEvent* event) {
    FHandlers.Close();
    Timer1->stop();
    FMeasureStopped = 1;
    UART->Close();
    event->accept();
}

// When a handler disables the control that has the focus, Qt hands the focus
// on to the next control, where a press of Enter or an arrow would then act
// (Enter on "Отключить", Right into the servo-mode group). The focus goes to
// the window itself instead: Enter reaches the default button, and arrows act
// only through the shortcut hook.
bool TMainForm::focusNextPrevChild(bool next) {
    QWidget* focused = focusWidget();
    if (focused && focused != this && !focused->isEnabled()) {
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

// Enter runs the default button unless a push button has the focus (it takes
// Enter itself and never lets it reach the window).
void TMainForm::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        btnSTOP->click();  // nothing when it is disabled
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TMainForm::btnConnectClick() {
    UART->SetDeviceName(FPortChoice->CurrentDevice());
    // While the port is open Open refuses (the running sequence goes on); the
    // handler in use stays untouched.
    UART->CheckOpen();
    consoleline::Bind(*UART, *Link, [this] { LineLost(); });
    try {
        OpenPort();
        if (!Link->ProbeController()) {
            UART->Close();
            ShowError(QString::fromUtf8("Контроллер не найден"));
            return;
        }
        ConnectSequence();
    } catch (...) {
        // A line that went away during the sequence ends as any lost line.
        if (AbsorbLineFailure(std::current_exception())) return;
        // A port that failed while opening, or during the sequence, is closed
        // again: never left open behind a disconnected window, where
        // "Подключить" would only meet "Port already assigned".
        UART->Close();
        throw;
    }
}

// The component's message stays as it is; a second line names the device
// and what the user can do about it.
void TMainForm::OpenPort() {
    try {
        const TOpenPatience patience(*StatusBar);
        UART->Open();
    } catch (const ECommError& e) {
        const QString advice = PortAdvice(UART->DeviceName(), e.ErrorCode);
        if (advice.isEmpty()) throw;
        throw ECommError(std::string(e.what()) + "\n" + advice.toStdString(), e.ErrorCode);
    }
}

void TMainForm::ConnectSequence() {
    FTimeoutsInRow = 0;  // a new line, maybe another controller
    RunReadSteps(ConnectReadSteps());
    EnableControls();
    btnConnect->setEnabled(false);
    btnDisconnect->setEnabled(true);
    cbPort->setEnabled(false);
}

void TMainForm::btnDisconnectClick() {
    UART->PurgeOut();
    UART->PurgeIn();
    consoleline::Unbind(*UART);
    UART->Close();
    // A running measurement would go on polling the closed port.
    StopMeasurementForDisconnect();
    FOffPanel = QString::fromUtf8("Не подключено");
    SetDisconnectedState();
}

void TMainForm::SetDisconnectedState() {
    FDriveOwed.reset();
    FTimeoutsInRow = 0;
    FStopWatched = false;
    FIdentPanel.clear();
    ShowControllerPanel();
    DisableControls();
    btnConnect->setEnabled(true);
    btnDisconnect->setEnabled(false);
    cbPort->setEnabled(true);
}

void TMainForm::LineLost() {
    if (Closed() || !UART->Enabled()) return;  // told already
    const QString device = QString::fromStdString(portadvice::DevicePath(UART->DeviceName()));
    StopMeasurementForDisconnect();  // the chart keeps its points
    consoleline::Unbind(*UART);
    UART->Close();
    Link->DropLine();
    FOffPanel = QString::fromUtf8("Связь потеряна");
    SetDisconnectedState();
    // A handler unwinding from the lost line may enable controls again: the
    // walk runs once more when it has returned.
    if (FHandlers.Busy()) FHandlers.WhenIdle([this] { RepeatDisconnectedState(); });
    FLostMessage = QString::fromUtf8("Связь с %1 потеряна (устройство отключено)").arg(device);
    FHandlers.WhenIdle([this] { ShowLostMessage(); });
}

void TMainForm::RepeatDisconnectedState() {
    if (!UART->Enabled()) SetDisconnectedState();
}

void TMainForm::ShowLostMessage() {
    if (FLostMessage.isEmpty()) return;  // shown already
    ShowError(std::exchange(FLostMessage, QString()));
}

void TMainForm::DisableControls() {
    WalkTwoLevels(this, false, Chart1);
    gboxController->setEnabled(true);
    btnConnect->setEnabled(true);
    cbPort->setEnabled(true);
}

void TMainForm::EnableControls() {
    WalkTwoLevels(this, true, Chart1);
    ApplyModeRule();
}

void TMainForm::ApplyModeRule() {
    const int mode = rgServoMode->ItemIndex();
    tbarSubCommand->setEnabled(mode != protocol::smPosition);
    const bool drive = OwnEnabled(tbarSubCommand);
    sbtnCenter->setEnabled(drive);
    gboxSubCommand->setEnabled(drive);
    btnSetPosition->setEnabled(!drive);
    rgVelocityRaz->setEnabled(mode == protocol::smVelocity);
    edtPulsesPerMilimeter->setEnabled(OwnEnabled(rgVelocityRaz));
    if (!drive)
        gboxSubCommand->setTitle(QString::fromUtf8(" В режиме \"Позиция\" недоступно "));
    else if (mode < 0)
        gboxSubCommand->setTitle(QString::fromUtf8(" Управление "));  // no mode: as at start
    else
        gboxSubCommand->setTitle(QString::fromUtf8(" Управление (%1) ").arg(rgServoMode->ItemText(mode)));
}

void TMainForm::MarkInputError(QLineEdit* edit) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor(255, 0, 0));
    palette.setColor(QPalette::Text, QColor(255, 255, 255));
    edit->setPalette(palette);
}

void TMainForm::edtParam1Change(QLineEdit* sender) {
    if (!sender) return;
    // Back to the system's window and window-text colours.
    sender->setPalette(QPalette());
}

void TMainForm::ShowError(const QString& text) {
    if (Closed()) return;
    const THandlerGuard::TScope busy(FHandlers);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, this);
    report::ExecUnlessShown(box);
}

void TMainForm::LinkIdentified(const QString& panelText) {
    FIdentPanel = panelText;
    ShowControllerPanel();
}

void TMainForm::LinkModeDecoded(int mode) {
    rgServoMode->SetClickAttached(false);
    rgServoMode->SetItemIndex(mode);
    rgServoMode->SetClickAttached(true);
}

void TMainForm::LinkPositionDecoded(int32_t position) {
    edtPosition->setText(QString::number(position));
}

void TMainForm::LinkTargetDecoded(int32_t target) { edtPosTo->setText(QString::number(target)); }

void TMainForm::LinkStatusText(const QString& text) {
    // While measuring, the next poll follows a lost one within milliseconds
    // and would empty "Timeout" before anyone could read it.
    const bool holding = Timer1->isActive() && FNoteShown.isValid() && FNoteShown.elapsed() < NoteHoldMs;
    if (text.isEmpty() && holding) return;
    StatusBar->SetPanelText(0, text);
}

void TMainForm::LinkCaptionOverflow() { setWindowTitle(QStringLiteral(">128")); }

void TMainForm::LinkReadError() { ShowError(QStringLiteral("Port Read Error")); }

void TMainForm::LinkTimedOut() {
    // A lost poll of a running measurement does not stop it: the toggle must
    // go on doing what the window shows (stop, keeping the points), not start
    // anew and clear the chart. Only a start whose priming polls time out
    // ends stopped.
    if (!Timer1->isActive()) FMeasureStopped = 1;
    NoteLinkFailure(QStringLiteral("Timeout"));
    FNoteShown.start();
}

void TMainForm::LinkReplyFailed(uint8_t code, TLinkState state) {
    const QChar command = QChar::fromLatin1(char(code));
    NoteLinkFailure(state == lsRefused ? QString::fromUtf8("Команда %1 отклонена").arg(command)
                                       : QString::fromUtf8("Неверный ответ (%1)").arg(command));
}

// Panel 0 tells of the last link failure until the next command empties it.
// A handler that goes on sending would empty it at once, so the first failure
// met while handlers run is shown again when the last of them has ended.
void TMainForm::NoteLinkFailure(const QString& text) {
    StatusBar->SetPanelText(0, text);
    FHandlers.NoteFailure(text);
}

void TMainForm::ShowLinkNote(const QString& note) {
    if (StatusBar->PanelText(0).isEmpty()) StatusBar->SetPanelText(0, note);
}
