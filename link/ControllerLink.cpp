// Controller link: command transactions, the presence probe, the reply timer,
// and the assembly and decoding of replies. Every function here runs on the
// main thread; UARTRxChar is called from the port's event dispatch.
#include "link/ControllerLink.h"

#include <algorithm>
#include <cstring>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "link/LinkTrace.h"
#include "link/Protocol.h"

namespace {

constexpr int ProbeAttempts = 16;
constexpr uint8_t NoCommand = 0xFF;
using protocol::OpenEnded;
using protocol::ProbeAnswer;
using protocol::ProbeByte;
constexpr uint8_t Accepted = protocol::StatusAccepted;
constexpr uint8_t Refused = protocol::StatusRefused;

TLinkState StateOfStatus(uint8_t status) {
    if (status == Accepted) return lsDone;
    if (status == Refused) return lsRefused;
    return lsUnparsed;
}

int32_t SignedOf24(const uint8_t* b) {
    const uint32_t raw = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16;
    return int32_t(raw << 8) >> 8;
}

uint16_t WordOf(const uint8_t* b) { return uint16_t(b[0] | b[1] << 8); }

}  // namespace

TControllerLink::TControllerLink(TCustomComm& port, TLinkListener* listener, QObject* parent)
    : QObject(parent), FPort(port), FListener(listener) {
    // A precise timer: a coarse one may fire up to 5 % early, and a reply
    // must get its full second.
    tmrTimeout.setTimerType(Qt::PreciseTimer);
    tmrTimeout.setInterval(ReplyTimeoutMs);
    connect(&tmrTimeout, &QTimer::timeout, this, &TControllerLink::tmrTimeoutTimer);
    ResetToIdle();
}

TLinkListener& TControllerLink::Listener() {
    static TLinkListener nobody;
    return FListener ? *FListener : nobody;
}

void TControllerLink::ClearTransactionArea() {
    std::memset(FCmdFrame, 0, sizeof FCmdFrame);
    std::memset(FReply, 0, sizeof FReply);
    FReplyExpected = 0;
    FReplyCount = 0;
    FLinkState = lsPending;
}

void TControllerLink::ClearDecoded() {
    FIdentText.clear();
    FPosition = FTargetPosition = 0;
    FSampleTick = FPrevSampleTick = 0;
    FVelocity = FMismatch = 0;
    FParams.fill(0);
}

void TControllerLink::ResetToIdle() {
    ClearTransactionArea();
    FCmdFrame[0] = NoCommand;
    FLinkState = lsDone;
}

// ---------------------------------------------------------------- sending

bool TControllerLink::Send(uint8_t code, const uint8_t* payload) {
    if (FLinkState == lsPending || FLineLost) return false;
    const protocol::TCommand command = *protocol::Command(code);
    const uint8_t length = command.payload;
    const uint8_t expected = command.replyData;
    SettleLine();
    const TransactionArea before = SaveArea();
    std::string identBefore;
    if (code == protocol::cmdIdentify) identBefore.swap(FIdentText);  // empties it, without a copy
    ClearTransactionArea();
    FCmdFrame[0] = code;
    FCmdFrame[1] = length;
    if (length > 0) std::memcpy(FCmdFrame + 2, payload, length);
    FLinkState = lsPending;
    if (expected != 0) FReplyExpected = expected;
    try {
        FPort.PurgeIn();
        FPort.Write(FCmdFrame, 2 + length);
    } catch (...) {
        // The command never went out: no transaction is left pending (later
        // sends are not refused, WaitReply returns), and the caller gets the error.
        RestoreArea(before);
        if (code == protocol::cmdIdentify) FIdentText.swap(identBefore);
        throw;
    }
    if (FTrace) FTrace->FrameSent({FCmdFrame, size_t(2 + length)});
    StartReplyTimer();
    return true;
}

// A reply that came too late may still be arriving:
// its tail must not be taken for the next command's reply. The main thread
// blocks here, as in the probe, at most QuietLimitMs.
void TControllerLink::SettleLine() {
    if (!FSettleBeforeSend) return;
    FSettleBeforeSend = false;
    QElapsedTimer total, quiet;
    total.start();
    quiet.start();
    while (quiet.elapsed() < FQuietMs && total.elapsed() < QuietLimitMs) {
        if (FPort.InQueCount() > 0) {
            FPort.PurgeIn();
            quiet.restart();
        }
        QThread::msleep(2);
    }
}

TControllerLink::TransactionArea TControllerLink::SaveArea() const {
    TransactionArea area;
    std::memcpy(area.CmdFrame, FCmdFrame, sizeof FCmdFrame);
    std::memcpy(area.Reply, FReply, sizeof FReply);
    area.ReplyExpected = FReplyExpected;
    area.ReplyCount = FReplyCount;
    area.LinkState = FLinkState;
    return area;
}

void TControllerLink::RestoreArea(const TransactionArea& area) {
    std::memcpy(FCmdFrame, area.CmdFrame, sizeof FCmdFrame);
    std::memcpy(FReply, area.Reply, sizeof FReply);
    FReplyExpected = area.ReplyExpected;
    FReplyCount = area.ReplyCount;
    FLinkState = area.LinkState;
}

bool TControllerLink::SendIdentify() { return Send(protocol::cmdIdentify, nullptr); }

bool TControllerLink::SendSetMode(uint8_t mode) { return Send(protocol::cmdSetMode, &mode); }

bool TControllerLink::SendGetMode() { return Send(protocol::cmdGetMode, nullptr); }

bool TControllerLink::SendGetTarget() { return Send(protocol::cmdGetTarget, nullptr); }

bool TControllerLink::SendGetPosition() { return Send(protocol::cmdGetPosition, nullptr); }

bool TControllerLink::SendSetTarget(int32_t position) {
    const uint32_t bits = uint32_t(position);  // only the low 24 bits travel
    const uint8_t payload[3] = {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16)};
    return Send(protocol::cmdSetTarget, payload);
}

bool TControllerLink::SendGetSample() { return Send(protocol::cmdGetSample, nullptr); }

bool TControllerLink::SendSaveBank(uint8_t bank) { return Send(protocol::cmdSaveBank, &bank); }

bool TControllerLink::SendLoadBank(uint8_t bank) { return Send(protocol::cmdLoadBank, &bank); }

bool TControllerLink::SendReadParam(uint8_t index) { return Send(protocol::cmdReadParam, &index); }

bool TControllerLink::SendWriteParam(uint8_t index, uint16_t value) {
    const uint8_t payload[3] = {index, uint8_t(value), uint8_t(value >> 8)};
    return Send(protocol::cmdWriteParam, payload);
}

bool TControllerLink::SendSubCommand(int16_t value) {
    const uint16_t bits = uint16_t(value);
    const uint8_t payload[2] = {uint8_t(bits), uint8_t(bits >> 8)};
    return Send(protocol::cmdDrive, payload);
}

// ---------------------------------------------------------------- probe and wait

bool TControllerLink::ProbeController() {
    FLineLost = false;
    FSettleBeforeSend = false;  // the probe purges the line itself
    FCmdFrame[0] = NoCommand;
    FLinkState = lsDone;  // the receive handler now discards whatever arrives
    FPort.PurgeIn();
    FPort.PurgeOut();
    for (int attempt = 0; attempt < ProbeAttempts; ++attempt) {
        uint8_t byte = ProbeByte;
        FPort.Write(&byte, 1);
        // The controller's time to answer.
        if (FProbePause) FProbePause(ProbePauseMs);
        else QThread::msleep(ProbePauseMs);
        if (FPort.InQueCount() == 1) {
            FPort.Read(&byte, 1);  // a failed read leaves 0xFF, which is not the answer
            if (byte == ProbeAnswer) {
                FPort.PurgeIn();
                if (FTrace) FTrace->Probed(attempt + 1, true);
                return true;
            }
        } else {
            FPort.PurgeIn();
        }
    }
    if (FTrace) FTrace->Probed(ProbeAttempts, false);
    return false;
}

TLinkState TControllerLink::WaitReply() {
    // With nothing under way it is one pass. Under way, the passes that may
    // sleep first run whatever is ready, so a pass that may not would only
    // cost one more look at the queue before the reply can arrive.
    if (FLinkState != lsPending) QCoreApplication::processEvents();
    while (FLinkState == lsPending) {
        // A pending transaction always has its timer; this covers a state
        // made pending by clearing the area by hand, so the wait still ends.
        if (!tmrTimeout.isActive()) SetReplyTimerEnabled(true);
        WaitPass();
    }
    CheckLine();
    return FLinkState;
}

void TControllerLink::WaitPass() {
    // A hand-over queued while the last pass polled has already used up its
    // wake-up: it runs here. Some event dispatchers run queued calls and then
    // block until the next timer, which would hold a decoded reply back for
    // up to a second.
    QCoreApplication::sendPostedEvents();
    if (FLinkState == lsPending) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TControllerLink::CheckLine() const {
    if (FLineLost) throw ELinkLost();
}

void TControllerLink::DropLine() {
    if (!FLineLost && FTrace) FTrace->LineLost();
    FLineLost = true;
    SetReplyTimerEnabled(false);
    // Ended, not answered: no decoder and no time-out notice runs for it.
    if (FLinkState == lsPending) FLinkState = lsTimedOut;
}

// ---------------------------------------------------------------- reply timer

void TControllerLink::SetReplyTimerEnabled(bool enabled) {
    // Enabling a running timer must not restart its period.
    if (enabled && !tmrTimeout.isActive()) tmrTimeout.start();
    if (!enabled) tmrTimeout.stop();
}

void TControllerLink::StartReplyTimer() {
    SetReplyTimerEnabled(true);
    Listener().LinkStatusText(QString());
}

void TControllerLink::StopReplyTimer() {
    SetReplyTimerEnabled(false);
    Listener().LinkStatusText(QString());
}

void TControllerLink::tmrTimeoutTimer() {
    // Disabled first: a listener that sends a new command from its time-out
    // notice then keeps the timer that this send enabled.
    SetReplyTimerEnabled(false);
    if (FLinkState != lsPending) return;
    FLinkState = lsTimedOut;
    FSettleBeforeSend = true;
    TraceEnd();
    Listener().LinkStatusText(QStringLiteral("Timeout"));
    Listener().LinkTimedOut();
    Listener().LinkTransactionEnded(FCmdFrame[0], FLinkState);
}

// ---------------------------------------------------------------- receiving

void TControllerLink::UARTRxChar(TObject* Sender, int32_t Count) {
    (void)Sender;
    if (Count > RxBufferSize) Listener().LinkCaptionOverflow();
    uint8_t buffer[RxBufferSize];
    bool taken = false;  // this event is done with: the rest of its bytes is discarded
    for (int32_t left = Count; left > 0;) {
        const int32_t chunk = std::min(left, int32_t(RxBufferSize));
        if (FPort.Read(buffer, chunk) != chunk) {
            Listener().LinkReadError();
            return;
        }
        left -= chunk;
        if (!taken) taken = Assemble(buffer, chunk);
    }
}

bool TControllerLink::Assemble(const uint8_t* bytes, int32_t count) {
    if (FLinkState != lsPending) return true;
    return FReplyExpected == OpenEnded ? AssembleText(bytes, count) : AssembleFixed(bytes, count);
}

bool TControllerLink::AssembleFixed(const uint8_t* bytes, int32_t count) {
    const int32_t total = int32_t(FReplyExpected) + 1;
    const int32_t n = std::max(0, std::min(count, total - int32_t(FReplyCount)));
    for (int32_t i = 0; i < n; ++i) {
        const int32_t at = int32_t(FReplyCount) + i;
        if (at < ReplySize) FReply[at] = bytes[i];
    }
    FReplyCount = uint8_t(FReplyCount + n);
    if (FReplyCount != total) return false;
    DecodeReply();
    return true;
}

// The text ends at its first status character. At most ReplySize - 1 bytes
// are kept, so a NUL always follows them; a longer text is cut there and the
// transaction still ends at its status character.
bool TControllerLink::AssembleText(const uint8_t* bytes, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const bool room = FReplyCount < ReplySize - 1;
        if (room) FReply[FReplyCount] = bytes[i];
        if (bytes[i] == Accepted || bytes[i] == Refused) {
            DecodeReply();
            return true;
        }
        if (room) ++FReplyCount;
    }
    return false;
}

// ---------------------------------------------------------------- decoding

// The reply's bytes as they came: a text's status character is stored but not counted.
void TControllerLink::TraceEnd() {
    if (!FTrace) return;
    size_t count = FReplyCount;
    if (FReplyExpected == OpenEnded && FLinkState != lsTimedOut && count < ReplySize) ++count;
    FTrace->TransactionEnded(FCmdFrame[0], FLinkState, {FReply, std::min(count, size_t(ReplySize))});
}

void TControllerLink::DecodeReply() {
    FLinkState = lsUnparsed;
    switch (FCmdFrame[0]) {
        case protocol::cmdDrive: case protocol::cmdLoadBank: case protocol::cmdSetMode:
        case protocol::cmdSetTarget: case protocol::cmdSaveBank: case protocol::cmdWriteParam:
            FLinkState = StateOfStatus(FReply[0]);
            break;
        case protocol::cmdIdentify: DecodeIdent(); break;
        case protocol::cmdGetMode: DecodeMode(); break;
        case protocol::cmdGetPosition: DecodePosition(false); break;
        case protocol::cmdGetTarget: DecodePosition(true); break;
        case protocol::cmdReadParam: DecodeParam(); break;
        case protocol::cmdGetSample: DecodeSample(); break;
        default: break;
    }
    TraceEnd();
    if (FLinkState == lsRefused || FLinkState == lsUnparsed)
        Listener().LinkReplyFailed(FCmdFrame[0], FLinkState);
    Listener().LinkTransactionEnded(FCmdFrame[0], FLinkState);
}

void TControllerLink::DecodeIdent() {
    const auto* text = reinterpret_cast<const char*>(FReply);
    FIdentText.append(text, strnlen(text, ReplySize));
    FLinkState = lsDone;
    // The controller's character set is not known: each byte shows as one
    // Latin-1 character, so nothing is lost or replaced and ASCII is unchanged.
    Listener().LinkIdentified(QStringLiteral("Контроллер: ") + QString::fromLatin1(FIdentText));
}

void TControllerLink::DecodeMode() {
    FLinkState = StateOfStatus(FReply[1]);
    if (FLinkState != lsDone) return;
    Listener().LinkModeDecoded(FReply[0]);
}

void TControllerLink::DecodePosition(bool target) {
    const TLinkState status = StateOfStatus(FReply[3]);
    if (status != lsDone) {
        FLinkState = status;
        return;
    }
    const int32_t value = SignedOf24(FReply);
    if (target) {
        FTargetPosition = value;
        Listener().LinkTargetDecoded(value);
    } else {
        FPosition = value;
        Listener().LinkPositionDecoded(value);
    }
    FLinkState = lsDone;
}

void TControllerLink::DecodeParam() {
    const TLinkState status = StateOfStatus(FReply[2]);
    if (status != lsDone) {
        FLinkState = status;
        return;
    }
    // Only indices 0 to 5 are ever sent; a reply for another index is
    // accepted but has no word to go to, so nothing is stored or shown.
    const uint8_t index = FCmdFrame[2];
    if (index < FParams.size()) {
        FParams[index] = WordOf(FReply);
        Listener().LinkParamDecoded(index, FParams[index]);
    }
    FLinkState = lsDone;
}

void TControllerLink::DecodeSample() {
    const TLinkState status = StateOfStatus(FReply[6]);
    if (status != lsDone) {
        FLinkState = status;
        return;
    }
    FPrevSampleTick = FSampleTick;
    FSampleTick = WordOf(FReply);
    FVelocity = int16_t(WordOf(FReply + 2));
    FMismatch = int16_t(WordOf(FReply + 4));
    StopReplyTimer();
    FLinkState = lsDone;
    Listener().LinkSampleDecoded(Sample());
}


