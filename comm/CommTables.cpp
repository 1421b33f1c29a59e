// What the settings contribute to the DCB and to the event mask, the
// component's error text and the codes of a line that is gone.
#include <array>

#include "comm/CommInt.h"

using namespace commapi;

namespace {

constexpr std::array<uint32_t, 15> BaudRates = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                                19200, 38400, 56000, 57600, 115200, 128000, 256000};
constexpr std::array<uint8_t, 5> Parities = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
constexpr std::array<uint8_t, 3> StopBits = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
constexpr std::array<uint8_t, 5> DataBits = {4, 5, 6, 7, 8};
constexpr std::array<uint32_t, 5> OptionMasks = {DCB_fParity, DCB_fDsrSensitivity, DCB_fTXContinueOnXoff,
                                                 DCB_fErrorChar, DCB_fNull};
constexpr std::array<uint32_t, 9> EventMasks = {EV_BREAK, EV_CTS, EV_DSR,    EV_ERR,    EV_RING,
                                                EV_RLSD,  EV_RXCHAR, EV_RXFLAG, EV_TXEMPTY};

// An ordinal outside its table (only possible through a cast) contributes nothing.
template <class T, size_t N>
T Lookup(const std::array<T, N>& table, unsigned ordinal) {
    return ordinal < N ? table[ordinal] : T{};
}

}  // namespace

uint32_t BaudRateValue(TBaudrate b) { return Lookup(BaudRates, b); }
uint8_t ParityValue(TParity p) { return Lookup(Parities, p); }
uint8_t StopBitsValue(TStopbits s) { return Lookup(StopBits, s); }
uint8_t DataBitsValue(TDatabits d) { return Lookup(DataBits, d); }
uint32_t OptionMask(TCommOption o) { return Lookup(OptionMasks, o); }
uint32_t EventMask(TCommEventType e) { return Lookup(EventMasks, e); }

uint32_t EventMaskOf(TCommEventTypes events) {
    uint32_t mask = 0;
    for (unsigned e = evBreak; e <= evTxEmpty; ++e)
        if (events & EventBit(TCommEventType(e))) mask |= EventMask(TCommEventType(e));
    return mask;
}

bool IsLineGoneError(int32_t code) {
    switch (uint32_t(code)) {
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED: return true;
    default: return false;
    }
}

void RaiseCommError(const std::string& message, int32_t code) {
    throw ECommError(message + " (Error: " + std::to_string(code) + ") ", code);
}
