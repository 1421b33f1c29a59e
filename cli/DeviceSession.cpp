#include "cli/DeviceSession.h"

#include "link/ConsoleLine.h"

#include <QEventLoop>
#include <QTimer>

namespace cli {

void WaitUntil(const QDeadlineTimer& until) {
    const qint64 left = until.remainingTime();
    if (left <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

EExit ExitOf(TLinkState state) {
    switch (state) {
    case lsDone: return EExit::Ok;
    case lsTimedOut: return EExit::TimedOut;
    case lsPending: return EExit::TimedOut;  // cannot outlast a wait; counted as no answer
    case lsRefused: return EExit::Refused;
    case lsUnparsed: return EExit::Refused;
    }
    return EExit::Refused;
}

TDeviceSession::TDeviceSession(const std::string& device) : FLink(FPort, this) {
    consoleline::Configure(FPort);
    FPort.SetDeviceName(device);
}

TDeviceSession::~TDeviceSession() {
    consoleline::Unbind(FPort);
    try {
        FPort.Close();
    } catch (const std::exception&) {
        // A line already gone has nothing left to close.
    }
}

EExit TDeviceSession::Connect(QString& error) {
    consoleline::Bind(FPort, FLink);
    try {
        FPort.Open();
    } catch (const ECommError& e) {
        error = QString::fromLocal8Bit(e.what()).simplified();
        return EExit::PortFailed;
    }
    if (!FLink.ProbeController()) {
        error = QStringLiteral("no controller answered the probe");
        return EExit::NoController;
    }
    const TLinkState ident = Transact([](TControllerLink& link) { return link.SendIdentify(); });
    if (ident != lsDone) error = QStringLiteral("identification (I) did not end accepted");
    return ExitOf(ident);
}

QString TDeviceSession::Ident() const {
    const std::string& text = FLink.IdentText();
    // As the window shows it: one Latin-1 character a byte.
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void TDeviceSession::LinkSampleDecoded(const TLinkSample& sample) {
    if (FMeasurement) FMeasurement->SampleDecoded(sample);
}

void TDeviceSession::LinkTransactionEnded(uint8_t code, TLinkState state) {
    if (FMeasurement) FMeasurement->TransactionEnded(code, state);
}

TLinkState TDeviceSession::Transact(const std::function<bool(TControllerLink&)>& send) {
    FLink.CheckLine();
    if (!send(FLink)) return lsRefused;  // another transaction under way: nothing was sent
    return FLink.WaitReply();
}

}  // namespace cli
