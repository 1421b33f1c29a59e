// Serial port component: the settings' enumerations and their wire values,
// the component's error, and the event handler types.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

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
