// Serial port component: settings, port object and its event thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include <QObject>
#include <QPointer>
#include <QThread>

#include "CommApi.h"
#include "CommObjs.h"

// Root of the component's object tree; Sender arguments point at one of these.
class TObject {
public:
    virtual ~TObject() = default;
};

enum TBaudrate : uint8_t {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200,
    br38400, br56000, br57600, br115200, br128000, br256000
};
enum TParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits : uint8_t { sb10, sb15, sb20 };
enum TDatabits : uint8_t { da4, da5, da6, da7, da8 };
enum TFlowControl : uint8_t { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption : uint8_t { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TCommEventType : uint8_t {
    evBreak, evCts, evDsr, evError, evRing, evRlsd, evRxChar, evRxFlag, evTxEmpty
};

// Set types: bit n stands for the member of ordinal n.
using TCommOptions = uint8_t;
using TCommEventTypes = uint16_t;
constexpr TCommOptions OptionBit(TCommOption o) { return TCommOptions(1u << o); }
constexpr TCommEventTypes EventBit(TCommEventType e) { return TCommEventTypes(1u << e); }
constexpr TCommEventTypes AllCommEvents = 0x01FF;

// Values the enumerations contribute to the DCB and to the event mask.
uint32_t BaudRateValue(TBaudrate b);
uint8_t ParityValue(TParity p);
uint8_t StopBitsValue(TStopbits s);
uint8_t DataBitsValue(TDatabits d);
uint32_t OptionMask(TCommOption o);
uint32_t EventMask(TCommEventType e);
uint32_t EventMaskOf(TCommEventTypes events);

class ECommError : public std::runtime_error {
public:
    ECommError(const std::string& message, int32_t errorCode)
        : std::runtime_error(message), ErrorCode(errorCode) {}
    int32_t ErrorCode;
};

// Builds "<message> (Error: <code>) " and throws ECommError.
[[noreturn]] void RaiseCommError(const std::string& message, int32_t code);

// True for the system codes a device fails with once it has hung up or gone away.
bool IsLineGoneError(int32_t code);

class TCustomComm;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TCommRxCharEvent = std::function<void(TObject* Sender, int32_t Count)>;
using TCommErrorEvent = std::function<void(TObject* Sender, int32_t Errors)>;
using TCommLineLostEvent = std::function<void(TObject* Sender, int32_t Code)>;

class TCommEventChars : public TObject {
public:
    explicit TCommEventChars(TCustomComm* owner);
    void SetByIndex(int index, char value);
    // Copies the five characters from another TCommEventChars; any other source throws.
    void Assign(const TObject* source);

    char XonChar() const { return FXonChar; }
    char XoffChar() const { return FXoffChar; }
    char ErrorChar() const { return FErrorChar; }
    char EofChar() const { return FEofChar; }
    char EvtChar() const { return FEvtChar; }
    void SetXonChar(char c) { SetByIndex(1, c); }
    void SetXoffChar(char c) { SetByIndex(2, c); }
    void SetErrorChar(char c) { SetByIndex(3, c); }
    void SetEofChar(char c) { SetByIndex(4, c); }
    void SetEvtChar(char c) { SetByIndex(5, c); }

private:
    TCustomComm* FOwner;
    char FXonChar = 17, FXoffChar = 19, FErrorChar = 0, FEofChar = 0, FEvtChar = 0;
};

class TCommEventThread;

// The port object. Every operation runs on the main thread.
class TCustomComm : public QObject, public TObject {
    Q_OBJECT
public:
    explicit TCustomComm(QObject* owner = nullptr);
    ~TCustomComm() override;

    void Open();
    void Close();
    int32_t Write(const void* buffer, int32_t count);
    int32_t Read(void* buffer, int32_t count);
    int32_t InQueCount();
    void PurgeIn();
    void PurgeOut();
    bool Enabled() const;
    void CheckOpen() const;
    void Lock();
    void Unlock();

    // Properties.
    const std::string& DeviceName() const { return FDeviceName; }
    void SetDeviceName(const std::string& name);
    int32_t ReadTimeout() const { return FReadTimeout; }
    void SetReadTimeout(int32_t ms) { FReadTimeout = ms; }
    int32_t WriteTimeout() const { return FWriteTimeout; }
    void SetWriteTimeout(int32_t ms) { FWriteTimeout = ms; }
    int32_t ReadBufSize() const { return FReadBufSize; }
    void SetReadBufSize(int32_t size);
    int32_t WriteBufSize() const { return FWriteBufSize; }
    void SetWriteBufSize(int32_t size);
    TCommEventTypes MonitorEvents() const { return FMonitorEvents; }
    void SetMonitorEvents(TCommEventTypes events);
    TBaudrate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudrate value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity value);
    TStopbits Stopbits() const { return FStopbits; }
    void SetStopbits(TStopbits value);
    TDatabits Databits() const { return FDatabits; }
    void SetDatabits(TDatabits value);
    TCommEventChars* EventChars() { return FEventChars.get(); }
    TCommOptions Options() const { return FOptions; }
    void SetOptions(TCommOptions value);
    TFlowControl FlowControl() const { return FFlowControl; }
    void SetFlowControl(TFlowControl value);
    const commapi::DCB& DataControlBlock() const { return FDCB; }
    commapi::HANDLE Handle() const { return FHandle; }

    TNotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
    TCommErrorEvent OnError;
    TCommRxCharEvent OnRxChar;
    // The device hung up or went away while the port was open (Code: the
    // system code of the failed wait). Called on the main thread once per
    // Open, after the events that came before; the handler may close the port.
    TCommLineLostEvent OnLineLost;

    void UpdateDataControlBlock();
    void UpdateCommTimeouts();
    void ApplyFlowControl(commapi::DCB& dcb) const;
    // Event sink given to the event thread; runs on the main thread.
    void HandleCommEvent(TObject* Sender, uint32_t Status);

protected:
    virtual void CreateHandle();
    void DestroyHandle();

private:
    struct Liveness;
    void HandleLineLost(int32_t code);
    int32_t FinishTransfer(commapi::OVERLAPPED& ov, int32_t timeout, const char* message);
    void AbandonTransfer(commapi::OVERLAPPED& ov);
    void StartEventThread();

    commapi::TCommApi& FApi;  // the provider current when the port was made
    commapi::HANDLE FHandle;
    commapi::DCB FDCB{};
    std::string FDeviceName;
    std::unique_ptr<TSimpleEvent> FEvent;
    std::unique_ptr<TCriticalSection> FCriticalSection;
    int32_t FReadTimeout, FWriteTimeout;
    int32_t FReadBufSize, FWriteBufSize;
    TCommEventTypes FMonitorEvents;
    TBaudrate FBaudRate;
    TParity FParity;
    TStopbits FStopbits;
    TDatabits FDatabits;
    QPointer<TCommEventThread> FEventThread;  // cleared when the thread has freed itself
    std::unique_ptr<TCommEventChars> FEventChars;
    TCommOptions FOptions;
    TFlowControl FFlowControl;
    std::shared_ptr<Liveness> FLiveness;  // shared with queued hand-overs; one per Open
};

// Publishes every property; adds no behaviour.
class TComm : public TCustomComm {
    Q_OBJECT
public:
    using TCustomComm::TCustomComm;
};

// Waits for the device's events while its port is open and hands each one to
// the main thread. Started by its constructor; frees itself when its run ends,
// or, once stopped, at the latest when the application object is destroyed.
class TCommEventThread final : public QThread, public TObject {
    Q_OBJECT
public:
    // Sender: this thread; Mask: the EV_ bits of the completed wait. Runs on the main thread.
    using TSignalEvent = std::function<void(TObject* Sender, uint32_t Mask)>;
    // Sender: this thread; Code: what the wait failed with (IsLineGoneError). Runs on the main thread.
    using TLineLostEvent = TCommLineLostEvent;

    TCommEventThread(commapi::HANDLE commHandle, TCommEventTypes events,
                     commapi::TCommApi& api = commapi::Current());
    ~TCommEventThread() override;

    // Asks the run to end and returns at once.
    void Stop();
    bool Terminated() const { return FTerminated.load(std::memory_order_acquire); }

    TSignalEvent OnSignal;
    // Once per run, after every event that came before.
    TLineLostEvent OnLineLost;

protected:
    void run() override;

private:
    void Execute();
    bool WaitForEvent(commapi::OVERLAPPED& ov);
    bool WaitFailed(commapi::DWORD error);
    void PauseAfterFailure(int failures);
    class THandOverTicket;
    using THandedOverCall = void (TCommEventThread::*)();
    void HandOver(THandedOverCall call);
    void RunHandedOver(THandedOverCall call);
    void AnswerHandOver();
    void DoOnSignal();
    void DoOnLineLost();

    commapi::TCommApi& FApi;
    const commapi::HANDLE FCommHandle;  // a copy: neither owned nor closed here
    std::unique_ptr<TSimpleEvent> FEvent;
    uint32_t FEventMask = 0;
    bool FLineLostReported = false;
    int32_t FLineLostCode = 0;  // written before its hand-over, like the mask
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FRunEnded{false};  // the run touches nothing of this object after it
    // The hand-over's own handshake. Qt's queue and semaphores are invisible
    // to race detectors, so the wait for the answer does not rely on them.
    std::mutex FHandOverMutex;
    std::condition_variable FHandOverAnswered;
    bool FHandOverDone = false;         // the queued call ran, or was dropped unrun
    std::exception_ptr FHandOverError;  // what the handed-over call raised
};
