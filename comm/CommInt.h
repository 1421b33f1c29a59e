// Serial port component: the port object. Its settings' types, event
// characters and event thread have headers of their own, included here.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QPointer>

#include "comm/CommApi.h"
#include "comm/CommEventChars.h"
#include "comm/CommEventThread.h"
#include "comm/CommObjs.h"
#include "comm/CommTypes.h"

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
