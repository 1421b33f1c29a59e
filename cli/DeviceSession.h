// One controller on one port: the port set up as the window sets it, the
// link bound to it, and what the link decoded that no accessor holds. Made,
// used and destroyed on the thread that runs its port (TPortRunner's): the
// port's event hand-overs and the link's reply timer belong to that thread,
// and the link's waits pump its events.
#pragma once

#include <functional>
#include <string>

#include <QDeadlineTimer>
#include <QString>

#include "cli/ExitCode.h"
#include "comm/CommInt.h"
#include "link/ControllerLink.h"
#include "measure/Measurement.h"

namespace cli {

EExit ExitOf(TLinkState state);

// Runs this thread's events (the port's hand-overs among them) until `until`.
void WaitUntil(const QDeadlineTimer& until);

class TDeviceSession : public TLinkListener {
public:
    explicit TDeviceSession(const std::string& device);
    ~TDeviceSession() override;
    TDeviceSession(const TDeviceSession&) = delete;
    TDeviceSession& operator=(const TDeviceSession&) = delete;

    // Opens the port, probes and reads the identification: Ok, PortFailed,
    // NoController or the identification's failure; why in `error`.
    EExit Connect(QString& error);
    QString Ident() const;

    // One transaction: the send, then its reply awaited. Raises ELinkLost
    // once the line is gone.
    TLinkState Transact(const std::function<bool(TControllerLink&)>& send);
    TControllerLink& Link() { return FLink; }
    // The servo mode of the last accepted 'm'; -1 before one.
    int Mode() const { return FMode; }
    // A measurement told of the samples and the transactions' ends; none: no one.
    void Attach(measure::TMeasurement* measurement) { FMeasurement = measurement; }

private:
    void LinkModeDecoded(int mode) override { FMode = mode; }
    void LinkSampleDecoded(const TLinkSample& sample) override;
    void LinkTransactionEnded(uint8_t code, TLinkState state) override;

    TComm FPort;
    TControllerLink FLink;
    int FMode = -1;
    measure::TMeasurement* FMeasurement = nullptr;
};

}  // namespace cli
