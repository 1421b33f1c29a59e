#include "bench/WindowRig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "bench/ProcessStats.h"
#include "window/MainUnit.h"
#include "window/RadioGroup.h"
#include "window/TrackBar.h"
#include "tests/support/WindowParts.h"

namespace bench {

namespace {

// A control by the name the window's design gives it.
template <typename T>
T* Control(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

// Modal boxes are looked for this often; rare enough to cost nothing measurable.
constexpr int BoxWatchMs = 250;
constexpr int WaitLimitMs = 5000;

bool OwnEnabled(const QWidget* widget) { return !widget->testAttribute(Qt::WA_ForceDisabled); }

}  // namespace

void PreferOffscreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

TWindowRig::TWindowRig() : FForm(std::make_unique<TMainForm>()) {
    QObject::connect(&FBoxWatch, &QTimer::timeout, [this] { CloseMessageBox(); });
    FBoxWatch.start(BoxWatchMs);
    FForm->show();
    Run(0.2);  // let the window be exposed and painted once
}

TWindowRig::~TWindowRig() {
    FBoxWatch.stop();
    FForm.reset();
}

void TWindowRig::CloseMessageBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    FBoxTexts << box->text();
    if (FError.empty()) FError = "message box: " + box->text().toStdString();
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
    else box->reject();
}

bool TWindowRig::Fail(const std::string& reason) {
    if (FError.empty()) FError = reason;
    return false;
}

bool TWindowRig::Connect(const std::string& path) {
    const QString item = QString::fromStdString(path);
    auto* port = Control<QComboBox>(*FForm, "cbPort");
    if (port->findText(item) < 0) port->addItem(item);
    port->setCurrentIndex(port->findText(item));
    Control<QPushButton>(*FForm, "btnConnect")->click();
    const bool connected = testsupport::Parts(FForm).UART->Enabled() && OwnEnabled(Control<QPushButton>(*FForm, "btnDisconnect"));
    return connected ? true : Fail("could not connect to " + path);
}

bool TWindowRig::Disconnect() {
    Control<QPushButton>(*FForm, "btnDisconnect")->click();
    return testsupport::Parts(FForm).UART->Enabled() ? Fail("could not disconnect") : true;
}

bool TWindowRig::ChooseMode(int mode) {
    auto* group = Control<TRadioGroup>(*FForm, "rgServoMode");
    group->Item(mode)->click();
    QElapsedTimer clock;
    clock.start();
    while (!OwnEnabled(group) && clock.elapsed() < WaitLimitMs) Run(0.005);
    return group->ItemIndex() == mode ? true : Fail("servo mode not switched");
}

bool TWindowRig::Drive(int barPosition) {
    if (!WaitIdle()) return Fail("link busy before the drive command");
    Control<TTrackBar>(*FForm, "tbarSubCommand")->SetPosition(barPosition);
    return WaitIdle() ? true : Fail("no answer to the drive command");
}

bool TWindowRig::StartMeasurement(int periodMs, int historyDepth) {
    testsupport::Parts(FForm).Settings->PeriodEdit()->setText(QString::number(periodMs));
    testsupport::Parts(FForm).Settings->HistoryEdit()->setText(QString::number(historyDepth));
    if (!WaitIdle()) return Fail("link busy before the measurement");
    testsupport::Parts(FForm).btnGraph->click();
    return FForm->Measurement().Running() ? true : Fail("measurement did not start");
}

bool TWindowRig::StopMeasurement() {
    if (!FForm->Measurement().Running()) return Fail("measurement had stopped by itself");
    testsupport::Parts(FForm).btnGraph->click();
    return WaitIdle() ? true : Fail("link busy after the measurement");
}

void TWindowRig::Run(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool TWindowRig::WaitIdle() {
    QElapsedTimer clock;
    clock.start();
    while (testsupport::Parts(FForm).Link->State() == lsPending && clock.elapsed() < WaitLimitMs) Run(0.002);
    return testsupport::Parts(FForm).Link->State() != lsPending;
}

// Wraps the port's receive handler: a 'V' transaction that was pending before
// the handler and is done after it is one accepted sample.
void TWindowRig::CountSamples() {
    FSamples->clear();
    FSamples->reserve(100'000);
    TMainForm* form = FForm.get();
    auto inner = testsupport::Parts(form).UART->OnRxChar;
    testsupport::Parts(form).UART->OnRxChar = [form, inner, samples = FSamples](TObject* sender, int32_t count) {
        TControllerLink& link = *testsupport::Parts(form).Link;
        const bool sampling = link.PendingCommand() == 'V';
        if (inner) inner(sender, count);
        if (sampling && link.State() == lsDone) samples->push_back(WallSeconds());
    };
}

}  // namespace bench
