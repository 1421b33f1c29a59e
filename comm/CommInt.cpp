// The port object. Every function here runs on the main thread.
#include "comm/CommInt.h"

using namespace commapi;

// Shared between the open port and the hand-overs its event thread queues:
// `port` is cleared by Close, so a call still queued never reaches a closed or
// destroyed port. Read and written on the main thread only.
struct TCustomComm::Liveness {
    TCustomComm* port;
};

namespace {

class TUnlockGuard {
public:
    explicit TUnlockGuard(TCustomComm& port) : FPort(port) {}
    ~TUnlockGuard() { FPort.Unlock(); }
    TUnlockGuard(const TUnlockGuard&) = delete;
    TUnlockGuard& operator=(const TUnlockGuard&) = delete;

private:
    TCustomComm& FPort;
};

}  // namespace

TCustomComm::TCustomComm(QObject* owner)
    : QObject(owner),
      FApi(commapi::Current()),
      FHandle(INVALID_HANDLE_VALUE),
      FDeviceName("Com2"),
      FReadTimeout(1000),
      FWriteTimeout(1000),
      FReadBufSize(4096),
      FWriteBufSize(2048),
      FMonitorEvents(AllCommEvents),
      FBaudRate(br9600),
      FParity(paNone),
      FStopbits(sb10),
      FDatabits(da8),
      FOptions(0),
      FFlowControl(fcDefault) {
    FEventChars = std::make_unique<TCommEventChars>(this);
    FEvent = std::make_unique<TSimpleEvent>(FApi);
    FCriticalSection = std::make_unique<TCriticalSection>(FApi);
}

TCustomComm::~TCustomComm() {
    Close();
    FEventChars.reset();
    FEvent.reset();
    FCriticalSection.reset();
}

// ------------------------------------------------------------------ open and close

void TCustomComm::Open() {
    CheckOpen();
    CreateHandle();
    if (!Enabled()) return;
    StartEventThread();
    UpdateCommTimeouts();
    UpdateDataControlBlock();
    if (!FApi.SetupComm(FHandle, DWORD(FReadBufSize), DWORD(FWriteBufSize)))
        RaiseCommError("Error initializing Read/Write Buffers", int32_t(TCommApi::GetLastError()));
}

void TCustomComm::StartEventThread() {
    FLiveness = std::make_shared<Liveness>(Liveness{this});
    auto* thread = new TCommEventThread(FHandle, FMonitorEvents, FApi);
    FEventThread = thread;
    thread->OnSignal = [token = FLiveness](TObject* sender, uint32_t mask) {
        if (token->port) token->port->HandleCommEvent(sender, mask);
    };
    thread->OnLineLost = [token = FLiveness](TObject*, int32_t code) {
        if (token->port) token->port->HandleLineLost(code);
    };
}

void TCustomComm::Close() {
    if (!Enabled()) return;
    if (FLiveness) FLiveness->port = nullptr;
    FLiveness.reset();
    if (FEventThread) FEventThread->Stop();  // does not wait: the thread ends and frees itself
    FEventThread.clear();
    DestroyHandle();
}

void TCustomComm::CreateHandle() {
    FHandle = FApi.CreateFileA(FDeviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    if (!Enabled()) RaiseCommError("Error accessing specified device", int32_t(TCommApi::GetLastError()));
    if (FApi.GetFileType(FHandle) != FILE_TYPE_CHAR) {
        DestroyHandle();
        RaiseCommError("Invalid device handle, access denied", -1);
    }
}

void TCustomComm::DestroyHandle() {
    FApi.CloseHandle(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
}

bool TCustomComm::Enabled() const { return FHandle != INVALID_HANDLE_VALUE; }

void TCustomComm::CheckOpen() const {
    if (Enabled()) RaiseCommError("Port already assigned (open)", -1);
}

void TCustomComm::Lock() { FCriticalSection->Enter(); }
void TCustomComm::Unlock() { FCriticalSection->Leave(); }

// ------------------------------------------------------------------ transfers

int32_t TCustomComm::Write(const void* buffer, int32_t count) {
    Lock();
    TUnlockGuard unlock(*this);
    if (count < 0) RaiseCommError("Write error", int32_t(ERROR_INVALID_PARAMETER));
    OVERLAPPED ov{};
    ov.hEvent = FEvent->Handle();
    DWORD written = 0;
    if (!FApi.WriteFile(FHandle, buffer, DWORD(count), &written, &ov)) {
        const DWORD error = TCommApi::GetLastError();
        if (error != ERROR_IO_PENDING) RaiseCommError("Write error", int32_t(error));
    }
    return FinishTransfer(ov, FWriteTimeout, "Write error");
}

int32_t TCustomComm::Read(void* buffer, int32_t count) {
    Lock();
    TUnlockGuard unlock(*this);
    if (count < 0) RaiseCommError("Read error", int32_t(ERROR_INVALID_PARAMETER));
    OVERLAPPED ov{};
    ov.hEvent = FEvent->Handle();
    DWORD read = 0;
    if (!FApi.ReadFile(FHandle, buffer, DWORD(count), &read, &ov)) {
        const DWORD error = TCommApi::GetLastError();
        if (error != ERROR_IO_PENDING) RaiseCommError("Read error", int32_t(error));
    }
    return FinishTransfer(ov, FReadTimeout, "Read error");
}

// Waits for a started transfer. A transfer that did not complete in time is
// cancelled before -1 is returned; one that completed with a failure raises.
int32_t TCustomComm::FinishTransfer(OVERLAPPED& ov, int32_t timeout, const char* message) {
    if (FEvent->WaitFor(uint32_t(timeout)) != wrSignaled) {
        AbandonTransfer(ov);
        return -1;
    }
    DWORD transferred = 0;
    const bool ok = FApi.GetOverlappedResult(FHandle, &ov, &transferred, 0);
    const DWORD error = ok ? ERROR_SUCCESS : TCommApi::GetLastError();
    if (error == ERROR_IO_INCOMPLETE) {  // the event was set but the transfer still runs
        AbandonTransfer(ov);
        return -1;
    }
    FEvent->ResetEvent();
    if (!ok) RaiseCommError(message, int32_t(error));
    return int32_t(transferred);
}

// Cancels the transfer and waits for the cancellation, so that once the caller
// returns nothing can write to its buffer or to `ov` any more.
void TCustomComm::AbandonTransfer(OVERLAPPED& ov) {
    FApi.CancelIoEx(FHandle, &ov);
    DWORD transferred = 0;
    FApi.GetOverlappedResult(FHandle, &ov, &transferred, 1);
}

int32_t TCustomComm::InQueCount() {
    if (!Enabled()) return -1;
    DWORD errors = 0;
    COMSTAT stat{};
    // Unknown is reported as empty: nobody reads bytes that may not be there.
    if (!FApi.ClearCommError(FHandle, &errors, &stat)) return 0;
    return int32_t(stat.cbInQue);
}

void TCustomComm::PurgeIn() {
    if (Enabled()) FApi.PurgeComm(FHandle, PURGE_RXABORT | PURGE_RXCLEAR);
}

void TCustomComm::PurgeOut() {
    if (Enabled()) FApi.PurgeComm(FHandle, PURGE_TXABORT | PURGE_TXCLEAR);
}

// ------------------------------------------------------------------ settings

void TCustomComm::SetDeviceName(const std::string& name) {
    if (name == FDeviceName) return;
    CheckOpen();
    FDeviceName = name;
}

void TCustomComm::SetReadBufSize(int32_t size) {
    if (size == FReadBufSize) return;
    CheckOpen();
    FReadBufSize = size;
}

void TCustomComm::SetWriteBufSize(int32_t size) {
    if (size == FWriteBufSize) return;
    CheckOpen();
    FWriteBufSize = size;
}

void TCustomComm::SetMonitorEvents(TCommEventTypes events) {
    if (events == FMonitorEvents) return;
    CheckOpen();
    FMonitorEvents = events;
}

void TCustomComm::SetBaudRate(TBaudrate value) {
    if (value == FBaudRate) return;
    FBaudRate = value;
    UpdateDataControlBlock();
}

void TCustomComm::SetParity(TParity value) {
    if (value == FParity) return;
    FParity = value;
    UpdateDataControlBlock();
}

void TCustomComm::SetStopbits(TStopbits value) {
    if (value == FStopbits) return;
    FStopbits = value;
    UpdateDataControlBlock();
}

void TCustomComm::SetDatabits(TDatabits value) {
    if (value == FDatabits) return;
    FDatabits = value;
    UpdateDataControlBlock();
}

void TCustomComm::SetOptions(TCommOptions value) {
    if (value == FOptions) return;
    FOptions = value;
    UpdateDataControlBlock();
}

void TCustomComm::SetFlowControl(TFlowControl value) {
    if (value == FFlowControl) return;
    FFlowControl = value;
    UpdateDataControlBlock();
}

void TCustomComm::UpdateDataControlBlock() {
    if (!Enabled()) return;
    FApi.GetCommState(FHandle, &FDCB);
    FDCB.BaudRate = BaudRateValue(FBaudRate);
    FDCB.Parity = ParityValue(FParity);
    FDCB.StopBits = StopBitsValue(FStopbits);
    FDCB.ByteSize = DataBitsValue(FDatabits);
    FDCB.XonChar = FEventChars->XonChar();
    FDCB.XoffChar = FEventChars->XoffChar();
    FDCB.ErrorChar = FEventChars->ErrorChar();
    FDCB.EofChar = FEventChars->EofChar();
    FDCB.EvtChar = FEventChars->EvtChar();
    FDCB.XonLim = FDCB.XoffLim = WORD(FReadBufSize / 4);
    ApplyFlowControl(FDCB);
    for (unsigned o = coParityCheck; o <= coNullStrip; ++o) {
        const uint32_t mask = OptionMask(TCommOption(o));
        if (FOptions & OptionBit(TCommOption(o))) FDCB.Flags |= mask;
        else FDCB.Flags &= ~mask;
    }
    if (!FApi.SetCommState(FHandle, &FDCB))
        RaiseCommError("Error updating DataControlBlock", int32_t(TCommApi::GetLastError()));
}

void TCustomComm::UpdateCommTimeouts() {
    // Reads complete at once with what has arrived; the only bound on a
    // transfer is the wait in Write and Read.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!FApi.SetCommTimeouts(FHandle, &timeouts))
        RaiseCommError("Error updating CommTimeouts", int32_t(TCommApi::GetLastError()));
}

void TCustomComm::ApplyFlowControl(DCB& dcb) const {
    switch (FFlowControl) {
    case fcNone: dcb.Flags = DCB_fBinary; break;
    case fcCTS: dcb.Flags |= DCB_fOutxCtsFlow | (RTS_CONTROL_HANDSHAKE << 12); break;
    case fcDTR: dcb.Flags |= DCB_fOutxDsrFlow | (DTR_CONTROL_HANDSHAKE << 4); break;
    case fcSoftware: dcb.Flags |= DCB_fOutX | DCB_fInX; break;
    case fcDefault: break;
    }
}

// ------------------------------------------------------------------ event dispatch

void TCustomComm::HandleLineLost(int32_t code) {
    // A copy: the handler may close or destroy this port, or replace itself.
    const TCommLineLostEvent handler = OnLineLost;
    if (handler) handler(this, code);
}

void TCustomComm::HandleCommEvent(TObject* Sender, uint32_t Status) {
    (void)Sender;
    if (!Enabled()) return;
    DWORD errors = 0;
    COMSTAT stat{};
    FApi.ClearCommError(FHandle, &errors, &stat);
    // A handler may close this port, or destroy it: the token tells, and the
    // dispatch then ends without touching the port again.
    const std::shared_ptr<Liveness> token = FLiveness;
    for (unsigned e = evBreak; e <= evTxEmpty; ++e) {
        if (!(Status & EventMask(TCommEventType(e)))) continue;
        if (!token || !token->port) return;
        switch (TCommEventType(e)) {
        case evBreak: if (OnBreak) OnBreak(this); break;
        case evCts: if (OnCts) OnCts(this); break;
        case evDsr: if (OnDsr) OnDsr(this); break;
        case evError: if (OnError) OnError(this, int32_t(errors)); break;
        case evRing: if (OnRing) OnRing(this); break;
        case evRlsd: if (OnRlsd) OnRlsd(this); break;
        case evRxChar: if (OnRxChar && stat.cbInQue != 0) OnRxChar(this, int32_t(stat.cbInQue)); break;
        case evRxFlag: if (OnRxFlag) OnRxFlag(this); break;
        case evTxEmpty: if (OnTxEmpty) OnTxEmpty(this); break;
        }
    }
}
