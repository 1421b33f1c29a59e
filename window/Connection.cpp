// Connecting and disconnecting: the port opened with advice under its
// errors, the probe and the read-out, the disconnected state, and a line that
// is lost under the window. Main thread only.
#include <exception>
#include <utility>

#include "link/ConsoleLine.h"
#include "window/MainUnit.h"
#include "window/OpenPatience.h"
#include "window/PortAdvice.h"
#include "window/StatusBar.h"

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


void TMainForm::btnConnectClick() {
    UART->SetDeviceName(Connection->CurrentDevice());
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
    FConnectClock.start();
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
    Connection->ShowConnected(true);
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
    Drive->Line().Forget();
    FTimeoutsInRow = 0;
    FStopWatched = false;
    FIdentPanel.clear();
    ShowControllerPanel();
    DisableControls();
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
