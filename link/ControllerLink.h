// Controller link: one command transaction at a time over the serial port,
// the presence probe, the reply timer, reply assembly and decoding.
// Everything here runs on the main thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include <QObject>
#include <QString>
#include <QTimer>

#include "comm/CommInt.h"

enum TLinkState : uint8_t { lsPending = 0, lsDone = 1, lsRefused = 2, lsUnparsed = 3, lsTimedOut = 4 };

class TLinkTrace;

// A velocity sample as decoded, with the tick of the sample before it.
struct TLinkSample {
    uint16_t tick = 0;
    uint16_t prevTick = 0;
    int16_t velocity = 0;  // x 200: pulses per second
    int16_t mismatch = 0;
};

// How the window learns what the link decoded. Every call comes on the main thread.
class TLinkListener {
public:
    virtual ~TLinkListener() = default;
    virtual void LinkIdentified(const QString& panelText) { (void)panelText; }  // status panel 1
    virtual void LinkModeDecoded(int mode) { (void)mode; }  // select without the click handler
    virtual void LinkPositionDecoded(int32_t position) { (void)position; }
    virtual void LinkTargetDecoded(int32_t target) { (void)target; }
    // Parameter #(index + 1), 0 <= index < 6, read back as its word.
    virtual void LinkParamDecoded(int index, uint16_t word) { (void)index, (void)word; }
    virtual void LinkSampleDecoded(const TLinkSample& sample) { (void)sample; }
    virtual void LinkStatusText(const QString& text) { (void)text; }  // status panel 0
    virtual void LinkCaptionOverflow() {}  // more than 128 bytes waiting: caption ">128"
    virtual void LinkReadError() {}        // modal "Port Read Error"
    virtual void LinkTimedOut() {}         // a pending transaction timed out
    // A complete reply refused ("-") or unreadable (neither "+" nor "-"):
    // the command's code and lsRefused or lsUnparsed.
    virtual void LinkReplyFailed(uint8_t code, TLinkState state) { (void)code; (void)state; }
    // Every transaction's end, answered or timed out, after the notices
    // above; not when the line is dropped. A new command may be sent.
    virtual void LinkTransactionEnded(uint8_t code, TLinkState state) { (void)code; (void)state; }
};

// Raised by the waits of the link once the line is gone: whatever handler was
// waiting ends there, without acting on replies that will never come.
class ELinkLost : public std::runtime_error {
public:
    ELinkLost() : std::runtime_error("line lost") {}
};

class TControllerLink : public QObject {
    Q_OBJECT
public:
    static constexpr int CmdFrameSize = 34;
    static constexpr int ReplySize = 32;
    static constexpr int RxBufferSize = 128;
    static constexpr int ReplyTimeoutMs = 1000;
    // After a time-out the controller may still be sending its late reply:
    // the next command waits until the line has been quiet this long (bytes
    // arriving meanwhile are discarded), but never longer than the limit.
    static constexpr int DefaultQuietMs = 100;
    static constexpr int QuietLimitMs = 1000;

    explicit TControllerLink(TCustomComm& port, TLinkListener* listener = nullptr,
                             QObject* parent = nullptr);

    void SetListener(TLinkListener* listener) { FListener = listener; }
    // Told every frame and every end (link/LinkTrace.h); none: nothing traced.
    void SetTrace(TLinkTrace* trace) { FTrace = trace; }

    // The twelve send operations: false (and nothing done) while a transaction is pending.
    bool SendIdentify();
    bool SendSetMode(uint8_t mode);
    bool SendGetMode();
    bool SendGetTarget();
    bool SendGetPosition();
    bool SendSetTarget(int32_t position);
    bool SendGetSample();
    bool SendSaveBank(uint8_t bank);
    bool SendLoadBank(uint8_t bank);
    bool SendReadParam(uint8_t index);
    bool SendWriteParam(uint8_t index, uint16_t value);
    bool SendSubCommand(int16_t value);

    // The command of the transaction under way, 0 when none is.
    uint8_t PendingCommand() const { return FLinkState == lsPending ? FCmdFrame[0] : 0; }
    TLinkState State() const { return FLinkState; }

    bool ProbeController();
    TLinkState WaitReply();
    // One pass of a wait: runs what is queued and, while the transaction is
    // still pending, sleeps until something arrives (a reply, the timer).
    void WaitPass();
    void StartReplyTimer();
    void StopReplyTimer();
    void tmrTimeoutTimer();

    // OnRxChar handler of the port.
    void UARTRxChar(TObject* Sender, int32_t Count);
    void DecodeReply();

    // The line is gone (hang-up, device removed): a pending transaction ends
    // at once and quietly, later sends are refused and send nothing, and the
    // waits raise ELinkLost. The next probe (a new connection) clears it.
    void DropLine();
    bool LineLost() const { return FLineLost; }
    // Raises ELinkLost when the line is gone; for loops that wait on their own.
    void CheckLine() const;
    // How long the line must be quiet before a command that follows a
    // time-out; tests lengthen it.
    void SetQuietMs(int ms) { FQuietMs = ms; }
    // The probe's pause for the controller's answer (ProbePauseMs); tests
    // give a pause that waits for their scripted device instead of the clock.
    static constexpr int ProbePauseMs = 10;
    using TPause = std::function<void(int ms)>;
    void SetProbePause(TPause pause) { FProbePause = std::move(pause); }

    // Zeroes the transaction area; used by window creation.
    void ClearTransactionArea();
    // Window-creation state: area cleared, no command (0xFF), lsDone.
    void ResetToIdle();
    // Forgets every decoded value: positions, sample, parameters, identification.
    void ClearDecoded();

    // What the link holds; everything it decodes also reaches the listener.
    // The command code of the transaction under way or, once it ended, of the last one.
    uint8_t LastCommand() const { return FCmdFrame[0]; }
    const std::string& IdentText() const { return FIdentText; }
    int32_t Position() const { return FPosition; }
    int32_t TargetPosition() const { return FTargetPosition; }
    const std::array<uint16_t, 6>& Params() const { return FParams; }
    TLinkSample Sample() const { return {FSampleTick, FPrevSampleTick, FVelocity, FMismatch}; }

    QTimer tmrTimeout;

private:
    // The link's own white-box tests look inside.
    friend struct TLinkInsight;

    // Transaction area.
    uint8_t FCmdFrame[CmdFrameSize] = {};
    uint8_t FReply[ReplySize] = {};
    uint8_t FReplyExpected = 0;
    uint8_t FReplyCount = 0;
    TLinkState FLinkState = lsDone;

    // Decoded values.
    std::string FIdentText;
    int32_t FPosition = 0;
    int32_t FTargetPosition = 0;
    uint16_t FSampleTick = 0;
    uint16_t FPrevSampleTick = 0;
    int16_t FVelocity = 0;
    int16_t FMismatch = 0;
    std::array<uint16_t, 6> FParams{};

    // What a send changes, kept so that a send whose write raises changes nothing.
    struct TransactionArea {
        uint8_t CmdFrame[CmdFrameSize];
        uint8_t Reply[ReplySize];
        uint8_t ReplyExpected;
        uint8_t ReplyCount;
        TLinkState LinkState;
    };

    // Lengths from the protocol's command table.
    bool Send(uint8_t code, const uint8_t* payload);
    void SettleLine();
    TransactionArea SaveArea() const;
    void RestoreArea(const TransactionArea& area);
    void SetReplyTimerEnabled(bool enabled);
    TLinkListener& Listener();

    // Reply assembly: true when this event's bytes are done with (reply
    // decoded, or no transaction under way).
    bool Assemble(const uint8_t* bytes, int32_t count);
    bool AssembleFixed(const uint8_t* bytes, int32_t count);
    bool AssembleText(const uint8_t* bytes, int32_t count);

    void DecodeIdent();
    void DecodeMode();
    void DecodePosition(bool target);
    void DecodeParam();
    void DecodeSample();

    TCustomComm& FPort;
    TLinkListener* FListener;
    TLinkTrace* FTrace = nullptr;
    void TraceEnd();
    bool FLineLost = false;
    bool FSettleBeforeSend = false;  // the last transaction timed out: a late tail may follow
    int FQuietMs = DefaultQuietMs;
    TPause FProbePause;
};
