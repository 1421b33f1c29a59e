#include "link/ConsoleLine.h"

#include <utility>

#include "link/ControllerLink.h"

namespace consoleline {

void Configure(TCustomComm& port) {
    port.SetBaudRate(br38400);
    port.SetDatabits(da8);
    port.SetParity(paNone);
    port.SetStopbits(sb10);
    port.SetFlowControl(fcNone);
    port.SetOptions(0);
    port.SetWriteTimeout(WriteTimeoutMs);
    port.SetReadBufSize(QueueSize);
    port.SetWriteBufSize(QueueSize);
    port.SetMonitorEvents(Events);
}

void Bind(TCustomComm& port, TControllerLink& link, std::function<void()> lineLost) {
    if (!lineLost) lineLost = [&link] { link.DropLine(); };
    port.OnRxChar = [&link, lineLost](TObject* sender, int32_t count) {
        try {
            link.UARTRxChar(sender, count);
        } catch (const ECommError& e) {
            // Ended here rather than ending the port's event delivery.
            if (!IsLineGoneError(e.ErrorCode)) throw;
            lineLost();
        }
    };
    port.OnLineLost = [lineLost](TObject*, int32_t) { lineLost(); };
}

void Unbind(TCustomComm& port) { port.OnRxChar = nullptr; }

}  // namespace consoleline
