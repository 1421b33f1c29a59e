// The messages of the Telnet COM-PORT-OPTION (RFC 2217): the line settings a
// DCB stands for, purges and notification masks going to the server, and
// what the server's notifications mean for the port's events and errors.
#pragma once

#include <cstdint>
#include <optional>

#include "comm/CommApi.h"
#include "comm/posix/PosixLineIo.h"
#include "comm/posix/TelnetCodec.h"

namespace commapi::posix::rfc2217 {

// Client commands; the server answers each with the command + ServerOffset.
constexpr uint8_t SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5,
                  NotifyLineState = 6, NotifyModemState = 7, FlowControlSuspend = 8,
                  FlowControlResume = 9, SetLineStateMask = 10, SetModemStateMask = 11, PurgeData = 12;
constexpr uint8_t ServerOffset = 100;

// SET-CONTROL values.
constexpr uint8_t FlowNone = 1, FlowXonXoff = 2, FlowHardware = 3, DtrOn = 8, DtrOff = 9, RtsOn = 11,
                  RtsOff = 12, InboundFlowNone = 14, InboundFlowXonXoff = 15, InboundFlowHardware = 16;

// What the server's line is asked to be: one field per message; 0 in a
// signal field leaves that signal to the server (it drives it in a handshake).
struct TComPortSettings {
    uint32_t baudRate = 0;
    uint8_t dataSize = 0, parity = 0, stopSize = 0;
    uint8_t outboundFlow = 0, inboundFlow = 0, dtr = 0, rts = 0;
    bool operator==(const TComPortSettings&) const = default;
};

// The settings of a DCB; nothing for what a local line would refuse too.
std::optional<TComPortSettings> SettingsOf(const DCB& dcb);

// The messages that bring the server from `sent` (nothing: unknown, all of
// them) to `wanted`, appended to `out`.
void AppendSettings(const std::optional<TComPortSettings>& sent, const TComPortSettings& wanted,
                    telnet::TBytes& out);
// SET-BAUDRATE 0: asks the server for its line's rate. Its answer shows that
// the server has the device open (a server that cannot open it, or whose
// device is taken, closes the connection instead).
void AppendBaudRateQuery(telnet::TBytes& out);
// PURGE-DATA for the server's buffers of the directions given.
void AppendPurge(bool output, bool input, telnet::TBytes& out);
// The notification masks for the selected EV_ events: line errors and break
// are always asked for (ClearCommError counts them whatever the mask);
// modem-line changes only for the selected modem events.
struct TMasks {
    uint8_t lineState = 0, modemState = 0;
    bool operator==(const TMasks&) const = default;
};
TMasks MasksFor(DWORD eventMask);
void AppendMasks(const TMasks& masks, telnet::TBytes& out);

// What a subnegotiation from the server says.
struct TServerNews {
    TLineChange change;
    std::optional<bool> suspend;  // flow control: stop sending (true) or go on (false)
    bool baudRate = false;        // the answer to SET-BAUDRATE
};

// The modem lines as last reported; the first report only sets them.
struct TModemState {
    bool known = false;
    uint8_t bits = 0;
};

// `data`: the subnegotiation's bytes after the option (command first).
TServerNews Interpret(const uint8_t* data, size_t size, TModemState& modem);

}  // namespace commapi::posix::rfc2217
