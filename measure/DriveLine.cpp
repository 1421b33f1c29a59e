#include "measure/DriveLine.h"

#include <utility>

#include "link/ControllerLink.h"
#include "link/Protocol.h"

namespace measure {

void TDriveLine::Send(int16_t value) {
    FOwed.reset();
    TControllerLink& link = FLink();
    if (link.SendSubCommand(value)) {
        FOnWire = value;
        return;
    }
    const uint8_t pending = link.PendingCommand();
    if (pending == protocol::cmdDrive && FOnWire == value) return;
    if (pending != 0) FOwed = value;
}

bool TDriveLine::SendOwed() {
    TControllerLink& link = FLink();
    if (!FOwed || link.State() == lsPending) return false;
    const int16_t value = *std::exchange(FOwed, std::nullopt);
    if (!link.SendSubCommand(value)) return false;  // the line is gone
    FOnWire = value;
    return true;
}

void TDriveLine::Settle() {
    do FLink().WaitReply();
    while (SendOwed());
}

}  // namespace measure
