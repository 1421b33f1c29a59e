// The operating-system operations the serial port component needs, named and
// shaped like the Win32 communications and synchronisation calls, behind one
// abstract provider. The component talks only to a provider; the Linux one is
// the default, tests swap in a recording fake.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

namespace commapi {

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using ULONG_PTR = uintptr_t;
using HANDLE = void*;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~uintptr_t(0));

constexpr DWORD MAXDWORD = 0xFFFFFFFFu;
constexpr DWORD INFINITE = 0xFFFFFFFFu;

// CreateFileA
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;

// GetFileType
constexpr DWORD FILE_TYPE_UNKNOWN = 0;
constexpr DWORD FILE_TYPE_DISK = 1;
constexpr DWORD FILE_TYPE_CHAR = 2;
constexpr DWORD FILE_TYPE_PIPE = 3;

// System error codes.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_BAD_COMMAND = 22;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_DEV_NOT_EXIST = 55;
constexpr DWORD ERROR_BAD_NET_NAME = 67;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_SEM_TIMEOUT = 121;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr DWORD ERROR_NOT_FOUND = 1168;
constexpr DWORD ERROR_CONNECTION_REFUSED = 1225;
constexpr DWORD ERROR_NETWORK_UNREACHABLE = 1231;
constexpr DWORD ERROR_HOST_UNREACHABLE = 1232;
constexpr DWORD ERROR_CONNECTION_ABORTED = 1236;
constexpr DWORD ERROR_DEVICE_REMOVED = 1617;

// WaitForSingleObject
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 0x102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Event mask bits (SetCommMask, WaitCommEvent).
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;
constexpr DWORD EV_ALL = 0x01FF;

// Error flags (ClearCommError).
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;

// PurgeComm
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

// DCB values.
constexpr BYTE NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
constexpr DWORD DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2,
                RTS_CONTROL_TOGGLE = 3;

// Bits of the DCB flags word.
constexpr DWORD DCB_fBinary = 0x0001;
constexpr DWORD DCB_fParity = 0x0002;
constexpr DWORD DCB_fOutxCtsFlow = 0x0004;
constexpr DWORD DCB_fOutxDsrFlow = 0x0008;
constexpr DWORD DCB_fDtrControlMask = 0x0030;  // two bits, DTR_CONTROL_* << 4
constexpr DWORD DCB_fDsrSensitivity = 0x0040;
constexpr DWORD DCB_fTXContinueOnXoff = 0x0080;
constexpr DWORD DCB_fOutX = 0x0100;
constexpr DWORD DCB_fInX = 0x0200;
constexpr DWORD DCB_fErrorChar = 0x0400;
constexpr DWORD DCB_fNull = 0x0800;
constexpr DWORD DCB_fRtsControlMask = 0x3000;  // two bits, RTS_CONTROL_* << 12
constexpr DWORD DCB_fAbortOnError = 0x4000;

struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD Flags;  // the bit fields fBinary .. fAbortOnError, masks above
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};

constexpr DWORD DtrControl(const DCB& dcb) { return (dcb.Flags & DCB_fDtrControlMask) >> 4; }
constexpr DWORD RtsControl(const DCB& dcb) { return (dcb.Flags & DCB_fRtsControlMask) >> 12; }
inline void SetDtrControl(DCB& dcb, DWORD v) { dcb.Flags = (dcb.Flags & ~DCB_fDtrControlMask) | ((v & 3) << 4); }
inline void SetRtsControl(DCB& dcb, DWORD v) { dcb.Flags = (dcb.Flags & ~DCB_fRtsControlMask) | ((v & 3) << 12); }

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};

struct COMSTAT {
    DWORD Flags;  // fCtsHold .. fTxim; not reported by the providers here (always 0)
    DWORD cbInQue;
    DWORD cbOutQue;
};

// Internal holds the provider's status of the transfer: ERROR_IO_PENDING while
// it runs, then its error code (ERROR_SUCCESS when it succeeded); InternalHigh
// the bytes transferred.
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

struct CRITICAL_SECTION {
    std::recursive_mutex Mutex;
};

// One provider of the operations. Every operation may be called from any
// thread; failures return FALSE (or the documented failure value) and leave
// their code for GetLastError of the calling thread.
class TCommApi {
public:
    virtual ~TCommApi() = default;

    virtual HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                               void* securityAttributes, DWORD creationDisposition,
                               DWORD flagsAndAttributes, HANDLE templateFile) = 0;
    virtual DWORD GetFileType(HANDLE file) = 0;
    virtual BOOL CloseHandle(HANDLE object) = 0;

    virtual BOOL GetCommState(HANDLE file, DCB* dcb) = 0;
    virtual BOOL SetCommState(HANDLE file, const DCB* dcb) = 0;
    virtual BOOL SetCommTimeouts(HANDLE file, const COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) = 0;
    virtual BOOL SetCommMask(HANDLE file, DWORD eventMask) = 0;
    virtual BOOL WaitCommEvent(HANDLE file, DWORD* eventMask, OVERLAPPED* overlapped) = 0;
    virtual BOOL ClearCommError(HANDLE file, DWORD* errors, COMSTAT* stat) = 0;
    virtual BOOL PurgeComm(HANDLE file, DWORD flags) = 0;

    virtual BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written,
                           OVERLAPPED* overlapped) = 0;
    virtual BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read,
                          OVERLAPPED* overlapped) = 0;
    virtual BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* transferred,
                                     BOOL wait) = 0;
    // Cancels the transfer of `overlapped` (all of the file's when null). When it
    // returns, the cancelled transfer no longer touches its buffer or record.
    virtual BOOL CancelIoEx(HANDLE file, OVERLAPPED* overlapped) = 0;

    virtual HANDLE CreateEventA(void* securityAttributes, BOOL manualReset, BOOL initialState,
                                const char* name) = 0;
    virtual BOOL SetEvent(HANDLE event) = 0;
    virtual BOOL ResetEvent(HANDLE event) = 0;
    virtual DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) = 0;

    virtual void InitializeCriticalSection(CRITICAL_SECTION* section);
    virtual void EnterCriticalSection(CRITICAL_SECTION* section);
    virtual void LeaveCriticalSection(CRITICAL_SECTION* section);
    virtual void DeleteCriticalSection(CRITICAL_SECTION* section);

    // The calling thread's last error, shared by every provider.
    static DWORD GetLastError();
    static void SetLastError(DWORD code);
};

// The process-wide provider that new ports and synchronisation objects use;
// each object keeps the provider it was created with.
TCommApi& Current();
// Installs `api` (not owned); null restores the Linux provider.
void SetCurrent(TCommApi* api);
// The Linux provider (created on first use, lives for the whole process);
// defined with the provider itself, in posix/.
TCommApi& LinuxProvider();

// Installs a provider for a scope, restoring the previous one at its end.
class TScopedCommApi {
public:
    explicit TScopedCommApi(TCommApi& api) : FPrevious(&Current()) { SetCurrent(&api); }
    ~TScopedCommApi() { SetCurrent(FPrevious); }
    TScopedCommApi(const TScopedCommApi&) = delete;
    TScopedCommApi& operator=(const TScopedCommApi&) = delete;

private:
    TCommApi* FPrevious;
};

// Runs between the slices of the waits of an open that takes long (a
// network device connecting): the window draws there, so it never freezes
// for the open's few seconds. Set on the thread that opens ports, around the
// open; empty: plain waits.
void SetOpenPatience(std::function<void()> hook);

}  // namespace commapi
