#include "comm/posix/Rfc2217.h"

#include "comm/posix/PosixLine.h"

namespace commapi::posix::rfc2217 {

namespace {

using telnet::TBytes;

// NOTIFY-LINESTATE bits.
constexpr uint8_t LineOverrun = 0x02, LineParity = 0x04, LineFraming = 0x08, LineBreak = 0x10;
// NOTIFY-MODEMSTATE bits: changes in the low half, levels in the high half.
constexpr uint8_t DeltaCts = 0x01, DeltaDsr = 0x02, RingEnded = 0x04, DeltaCd = 0x08;
constexpr uint8_t Cts = 0x10, Dsr = 0x20, Ring = 0x40, Cd = 0x80;

// PURGE-DATA values.
constexpr uint8_t PurgeReceive = 1, PurgeTransmit = 2, PurgeBoth = 3;

void Append(TBytes& out, uint8_t command, TBytes value) {
    value.insert(value.begin(), command);
    telnet::AppendSubnegotiation(out, telnet::OptionComPort, value);
}

uint8_t StopSizeOf(BYTE stopBits) {
    switch (stopBits) {
    case ONE5STOPBITS: return 3;
    case TWOSTOPBITS: return 2;
    default: return 1;
    }
}

}  // namespace

std::optional<TComPortSettings> SettingsOf(const DCB& dcb) {
    if (!DcbSupported(dcb)) return std::nullopt;
    TComPortSettings s;
    s.baudRate = dcb.BaudRate;
    s.dataSize = dcb.ByteSize;
    s.parity = uint8_t(dcb.Parity + 1);  // NONE 1, ODD 2, EVEN 3, MARK 4, SPACE 5
    s.stopSize = StopSizeOf(dcb.StopBits);
    // As on a local line, RTS/CTS is one handshake for both directions.
    const bool hardware = (dcb.Flags & DCB_fOutxCtsFlow) || RtsControl(dcb) == RTS_CONTROL_HANDSHAKE;
    s.outboundFlow = hardware ? FlowHardware : (dcb.Flags & DCB_fOutX) ? FlowXonXoff : FlowNone;
    s.inboundFlow = hardware ? InboundFlowHardware : (dcb.Flags & DCB_fInX) ? InboundFlowXonXoff : InboundFlowNone;
    const TModemLineRequest lines = DcbModemLines(dcb);
    if (lines.setDtr) s.dtr = lines.dtrOn ? DtrOn : DtrOff;
    if (lines.setRts) s.rts = lines.rtsOn ? RtsOn : RtsOff;
    return s;
}

void AppendSettings(const std::optional<TComPortSettings>& sent, const TComPortSettings& wanted, TBytes& out) {
    const auto changed = [&sent](auto field, const TComPortSettings& now) {
        return !sent || (*sent).*field != now.*field;
    };
    if (changed(&TComPortSettings::baudRate, wanted)) {
        const uint32_t b = wanted.baudRate;
        Append(out, SetBaudRate, {uint8_t(b >> 24), uint8_t(b >> 16), uint8_t(b >> 8), uint8_t(b)});
    }
    if (changed(&TComPortSettings::dataSize, wanted)) Append(out, SetDataSize, {wanted.dataSize});
    if (changed(&TComPortSettings::parity, wanted)) Append(out, SetParity, {wanted.parity});
    if (changed(&TComPortSettings::stopSize, wanted)) Append(out, SetStopSize, {wanted.stopSize});
    // Outbound first: its values also set the inbound side, which follows.
    if (changed(&TComPortSettings::outboundFlow, wanted)) Append(out, SetControl, {wanted.outboundFlow});
    if (changed(&TComPortSettings::inboundFlow, wanted)) Append(out, SetControl, {wanted.inboundFlow});
    if (wanted.dtr && changed(&TComPortSettings::dtr, wanted)) Append(out, SetControl, {wanted.dtr});
    if (wanted.rts && changed(&TComPortSettings::rts, wanted)) Append(out, SetControl, {wanted.rts});
}

void AppendBaudRateQuery(TBytes& out) { Append(out, SetBaudRate, {0, 0, 0, 0}); }

void AppendPurge(bool output, bool input, TBytes& out) {
    if (!output && !input) return;
    Append(out, PurgeData, {output && input ? PurgeBoth : output ? PurgeTransmit : PurgeReceive});
}

TMasks MasksFor(DWORD eventMask) {
    TMasks masks;
    masks.lineState = LineOverrun | LineParity | LineFraming | LineBreak;
    if (eventMask & EV_CTS) masks.modemState |= DeltaCts | Cts;
    if (eventMask & EV_DSR) masks.modemState |= DeltaDsr | Dsr;
    if (eventMask & EV_RING) masks.modemState |= RingEnded | Ring;
    if (eventMask & EV_RLSD) masks.modemState |= DeltaCd | Cd;
    return masks;
}

void AppendMasks(const TMasks& masks, TBytes& out) {
    Append(out, SetLineStateMask, {masks.lineState});
    Append(out, SetModemStateMask, {masks.modemState});
}

namespace {

TLineChange LineStateChange(uint8_t state) {
    TLineChange change;
    if (state & LineOverrun) change.errors |= CE_OVERRUN;
    if (state & LineParity) change.errors |= CE_RXPARITY;
    if (state & LineFraming) change.errors |= CE_FRAME;
    if (state & LineBreak) change.errors |= CE_BREAK;
    if (change.errors & (CE_OVERRUN | CE_RXPARITY | CE_FRAME)) change.events |= EV_ERR;
    if (change.errors & CE_BREAK) change.events |= EV_BREAK;
    return change;
}

// A change is what the server marks as one, or a level that differs from
// the last report (not every server sets the change bits).
TLineChange ModemStateChange(uint8_t state, TModemState& modem) {
    const uint8_t flipped = modem.known ? uint8_t(state ^ modem.bits) : 0;
    modem = {true, state};
    const auto changed = [&](uint8_t delta, uint8_t level) { return (state & delta) || (flipped & level); };
    TLineChange change;
    if (changed(DeltaCts, Cts)) change.events |= EV_CTS;
    if (changed(DeltaDsr, Dsr)) change.events |= EV_DSR;
    if (changed(DeltaCd, Cd)) change.events |= EV_RLSD;
    // A ring is reported when it ends, as the line's own event is.
    if ((state & RingEnded) || ((flipped & Ring) && !(state & Ring))) change.events |= EV_RING;
    return change;
}

}  // namespace

TServerNews Interpret(const uint8_t* data, size_t size, TModemState& modem) {
    TServerNews news;
    if (size == 0) return news;
    const uint8_t command = data[0];
    const bool hasValue = size >= 2;
    switch (command) {
    case ServerOffset + NotifyLineState:
        if (hasValue) news.change = LineStateChange(data[1]);
        break;
    case ServerOffset + NotifyModemState:
        if (hasValue) news.change = ModemStateChange(data[1], modem);
        break;
    case ServerOffset + SetBaudRate: news.baudRate = true; break;
    case ServerOffset + FlowControlSuspend: news.suspend = true; break;
    case ServerOffset + FlowControlResume: news.suspend = false; break;
    default: break;  // the other answers to our own requests
    }
    return news;
}

}  // namespace commapi::posix::rfc2217
