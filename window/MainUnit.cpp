// The main window: creation and destruction, its handlers bound, the two
// enable walks, the mode rule that spans panels, the input error mark, error
// boxes, and the keys and focus rules of the window itself. Connecting is in
// Connection.cpp, the link's notices in LinkNotices.cpp. Main thread only.
#include "window/MainUnit.h"

#include "chart/FailureTicks.h"
#include "traffic/TrafficLog.h"

#include "window/EditMarks.h"

#include <exception>
#include <utility>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <qcustomplot.h>

#include "chart/ChartFeed.h"
#include "chart/SeriesGraph.h"
#include "link/ConsoleLine.h"
#include "window/DefaultReport.h"
#include "window/FormStyle.h"
#include "window/ShortcutHook.h"
#include "window/StatusBar.h"

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
    BuildLayout();
    FChartStore = ChartStore();
    FMeasure = new measure::TMeasurement(*Link, Drive->Line(), MeasureHooks(), FChartStore.get(), this);
    BuildTraffic();
    ConnectHandlers();
    FormCreate();
}

// What the measurement needs of the window: the port, what a sample is
// plotted under, the chart, the step test's moves, and its handler guard.
measure::TMeasurement::THooks TMainForm::MeasureHooks() {
    measure::TMeasurement::THooks hooks;
    hooks.portOpen = [this] { return UART->Enabled(); };
    hooks.input = [this] {
        sampleplot::TSampleInput in;
        in.servoMode = Drive->Mode();
        in.unit = Settings->Unit();
        in.barPosition = Drive->BarPosition();
        in.kfWord = Params->Words()[1];
        return in;
    };
    hooks.placed = [this](const sampleplot::TPlaced&) {
        ShowNewPoints();
        WatchTuneSample();
    };
    hooks.stepAction = [this](steptest::EAction action, uint32_t) { StepTestAction(action); };
    hooks.portGone = [this] { StopMeasurementForDisconnect(); };
    hooks.silent = [this] { AbortStepTest(); };
    hooks.run = [this](const std::function<void()>& handler) { RunHandler(handler); };
    return hooks;
}

TMainForm::~TMainForm() {
    FormDestroy();
    Link->SetTrace(nullptr);  // the log goes before the link
}

void TMainForm::ConnectHandlers() {
    BindClick(btnSTOP, &TMainForm::btnSTOPClick);
    BindClick(btnGraph, &TMainForm::btnGraphClick);
    for (QLineEdit* edit : {Positions->PositionEdit(), Positions->TargetEdit(), Settings->HistoryEdit(),
                            Settings->PulsesEdit(), Settings->PeriodEdit()})
        BindEditChange(edit);
    // The parameter panel binds its edits itself: the same reset, and its own mark.
}

void TMainForm::BindClick(QAbstractButton* button, void (TMainForm::*handler)()) {
    BindClick(button, [this, handler] { (this->*handler)(); });
}

void TMainForm::BindClick(QAbstractButton* button, std::function<void()> handler) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler = std::move(handler)] { RunHandler(handler); });
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

void TMainForm::RunHandlerLater(const std::function<void()>& handler) {
    QTimer::singleShot(0, this, [this, handler] { RunHandler(handler); });
}

void TMainForm::FormCreate() {
    FShortcutHook = std::make_unique<TShortcutHook>(this);
    ApplyHintTiming();
    ChartFeed()->Clear();
    Link->ClearTransactionArea();
    Chart1->yAxis->setLabelColor(Series1->pen().color());
    Chart1->yAxis2->setLabelColor(Series2->pen().color());
    Link->ResetToIdle();
    Link->ClearDecoded();
    Params->SetWords({});
    DisableControls();
}

// Hints show only where a text is set; the window's style times them.
void TMainForm::ApplyHintTiming() {
    (new TFormStyle(this))->ApplyTo(this);
}

void TMainForm::FormDestroy() { UART->Close(); }

void TMainForm::closeEvent(QCloseEvent* event) {
    FHandlers.Close();
    FMeasure->Stop();
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

void TMainForm::DisableControls() {
    WalkTwoLevels(this, false, Chart1);
    Connection->ShowConnected(false);
}

void TMainForm::EnableControls() {
    WalkTwoLevels(this, true, Chart1);
    ApplyModeRule();
}

// The mode decides the drive group, the target's "Задать" (the position
// mode only) and the unit group.
void TMainForm::ApplyModeRule() {
    const int mode = Drive->Mode();
    const bool drive = Drive->ApplyModeRule(mode);
    Positions->SetTargetButton()->setEnabled(!drive);
    Settings->SetUnitEnabled(true, mode);  // whatever the measurement does
}

void TMainForm::MarkInputError(QLineEdit* edit) { editmarks::MarkError(edit); }

void TMainForm::edtParam1Change(QLineEdit* sender) {
    if (!sender) return;
    editmarks::Clear(sender);
}

void TMainForm::ShowError(const QString& text) {
    if (Closed()) return;
    const THandlerGuard::TScope busy(FHandlers);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, this);
    report::ExecUnlessShown(box);
}
