// Telnet framing, option negotiation and the RFC 2217 messages, without a
// server: bytes in, bytes and messages out, written out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/posix/NetAddress.h"
#include "comm/posix/Rfc2217.h"
#include "comm/posix/TelnetCodec.h"
#include "comm/posix/TelnetOptions.h"

using namespace commapi;
using namespace commapi::posix;
using namespace commapi::posix::telnet;

namespace {

constexpr uint8_t ComPort = OptionComPort;

// What a decode produced: the commands in order as text ("WILL 44",
// "SB 44 <hex>"), the data bytes as hex after "d:" at the end.
class TRecorder : public TTelnetSink {
public:
    void Negotiation(uint8_t verb, uint8_t option) override {
        static const char* const names[] = {"WILL", "WONT", "DO", "DONT"};
        FEvents.push_back(std::string(names[verb - WILL]) + " " + std::to_string(option));
    }
    void Subnegotiation(uint8_t option, const uint8_t* data, size_t size) override {
        FEvents.push_back("SB " + std::to_string(option) + " " + Hex(data, size));
    }
    void Data(const uint8_t* data, size_t size) { FData += Hex(data, size); }
    std::vector<std::string> Finish() {
        std::vector<std::string> all = FEvents;
        all.push_back("d:" + FData);
        return all;
    }
    static std::string Hex(const uint8_t* data, size_t size) {
        std::string text;
        char buffer[4];
        for (size_t i = 0; i < size; ++i) {
            std::snprintf(buffer, sizeof buffer, "%02x", data[i]);
            text += buffer;
        }
        return text;
    }

private:
    std::vector<std::string> FEvents;
    std::string FData;
};

// Decodes `wire` in pieces cut at `cuts` (positions, ascending).
std::vector<std::string> DecodeInPieces(const TBytes& wire, const std::vector<size_t>& cuts) {
    TTelnetDecoder decoder;
    TRecorder recorder;
    size_t start = 0;
    std::vector<size_t> ends = cuts;
    ends.push_back(wire.size());
    for (const size_t end : ends) {
        TBytes piece(wire.begin() + long(start), wire.begin() + long(end));
        const size_t kept = decoder.Decode(piece.data(), piece.size(), piece.data(), recorder);
        recorder.Data(piece.data(), kept);
        start = end;
    }
    return recorder.Finish();
}

// A server's typical opening, a notification carrying an escaped 0xFF, and
// data with 0xFF in it.
const TBytes ServerStream = {'a', IAC, IAC, 'b',                       // data a ff b
                             IAC, WILL, OptionSuppressGoAhead,           // WILL 3
                             IAC, DO, ComPort,                           // DO 44
                             IAC, SB, ComPort, 107, IAC, IAC, IAC, SE,   // SB 44 6b ff
                             IAC, 241,                                   // NOP: ignored
                             IAC, IAC, 'c'};                             // data ff c
const std::vector<std::string> ServerEvents = {"WILL 3", "DO 44", "SB 44 6bff", "d:61ff62ff63"};

TEST(TelnetDecoder, DataCommandsAndSubnegotiationsInOrder) {
    EXPECT_EQ(DecodeInPieces(ServerStream, {}), ServerEvents);
}

TEST(TelnetDecoder, AnyCutAcrossReadsGivesTheSameResult) {
    for (size_t cut = 1; cut < ServerStream.size(); ++cut)
        EXPECT_EQ(DecodeInPieces(ServerStream, {cut}), ServerEvents) << "cut at " << cut;
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < ServerStream.size(); ++i) everyByte.push_back(i);
    EXPECT_EQ(DecodeInPieces(ServerStream, everyByte), ServerEvents) << "one byte per read";
}

TEST(TelnetDecoder, MalformedAndOversizedSubnegotiations) {
    const struct {
        TBytes wire;
        std::vector<std::string> events;
    } cases[] = {
        // A command inside a subnegotiation ends it unreported; the command counts.
        {{IAC, SB, ComPort, 6, IAC, DO, 1, 'x'}, {"DO 1", "d:78"}},
        // IAC SE without a subnegotiation is only a command.
        {{'x', IAC, SE, 'y'}, {"d:7879"}},
        // An empty subnegotiation.
        {{IAC, SB, ComPort, IAC, SE}, {"SB 44 ", "d:"}},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeInPieces(c.wire, {}), c.events);

    TBytes longOne = {IAC, SB, ComPort};
    longOne.insert(longOne.end(), TTelnetDecoder::MaxSubnegotiation + 1, 7);
    longOne.insert(longOne.end(), {IAC, SE, 'z'});
    EXPECT_EQ(DecodeInPieces(longOne, {}), std::vector<std::string>{"d:7a"}) << "dropped whole";
}

TEST(TelnetEncoder, EveryFfIsDoubledInDataAndSubnegotiations) {
    const uint8_t data[] = {0x00, 0xFF, 0x41, 0xFF, 0xFF};
    TBytes out;
    AppendData(out, data, sizeof data);
    EXPECT_EQ(out, (TBytes{0x00, IAC, IAC, 0x41, IAC, IAC, IAC, IAC}));

    out.clear();
    AppendSubnegotiation(out, ComPort, {1, 0x00, 0x00, 0xFF, 0xFF});
    EXPECT_EQ(out, (TBytes{IAC, SB, ComPort, 1, 0, 0, IAC, IAC, IAC, IAC, IAC, SE}));
}

// A send that the socket takes only in part: which data bytes went out, and
// whether a 0xFF was cut between its two IACs.
TEST(TelnetEncoder, APartialSendIsCountedInDataBytesAndHalfPairs) {
    const uint8_t data[] = {'A', 0xFF, 'B', 0xFF, 0xFF};  // wire: A ff ff B ff ff ff ff
    const struct {
        size_t sent, taken;
        bool halfPair;
    } cases[] = {{0, 0, false}, {1, 1, false}, {2, 1, true},  {3, 2, false}, {4, 3, false},
                 {5, 3, true},  {6, 4, false}, {7, 4, true},  {8, 5, false}};
    for (const auto& c : cases) {
        const TEscapedProgress progress = EscapedProgress(data, sizeof data, c.sent);
        EXPECT_EQ(progress.taken, c.taken) << c.sent;
        EXPECT_EQ(progress.halfPair, c.halfPair) << c.sent;
    }
}

// ------------------------------------------------------------------ negotiation

TEST(TelnetOptions, TheOfferAndTheAnswersToEveryRequest) {
    TTelnetOptions options({OptionBinary, ComPort}, {OptionBinary});
    TBytes out;
    options.Offer(out);
    EXPECT_EQ(out, (TBytes{IAC, WILL, OptionBinary, IAC, WILL, ComPort, IAC, DO, OptionBinary}));
    EXPECT_EQ(options.Ours(ComPort), TTelnetOptions::EState::WantYes);

    using S = TTelnetOptions::EState;
    const struct {
        uint8_t verb, option;
        TBytes answer;
        S ours, his;  // of `option` afterwards
    } steps[] = {
        {DO, ComPort, {}, S::Yes, S::No},                        // agreed to our offer: no answer
        {DO, ComPort, {}, S::Yes, S::No},                        // said again: still none
        {WILL, OptionBinary, {}, S::WantYes, S::Yes},            // agreed to our request
        {DO, OptionBinary, {}, S::Yes, S::Yes},
        {WILL, 1, {IAC, DONT, 1}, S::No, S::No},                 // echo: refused
        {DO, 24, {IAC, WONT, 24}, S::No, S::No},                 // terminal type: refused
        {DONT, 24, {}, S::No, S::No},                            // off already: no answer
        {WONT, 1, {}, S::No, S::No},
        {DONT, ComPort, {IAC, WONT, ComPort}, S::No, S::No},     // taken back: acknowledged
        {DO, ComPort, {IAC, WILL, ComPort}, S::Yes, S::No},      // asked for anew: agreed
        {WONT, OptionBinary, {IAC, DONT, OptionBinary}, S::Yes, S::No},
    };
    for (const auto& step : steps) {
        out.clear();
        options.Received(step.verb, step.option, out);
        EXPECT_EQ(out, step.answer) << int(step.verb) << " " << int(step.option);
        EXPECT_EQ(options.Ours(step.option), step.ours) << int(step.verb) << " " << int(step.option);
        EXPECT_EQ(options.His(step.option), step.his) << int(step.verb) << " " << int(step.option);
    }
}

TEST(TelnetOptions, ARefusedOfferEndsAsNo) {
    TTelnetOptions options({ComPort}, {});
    TBytes out;
    options.Offer(out);
    out.clear();
    options.Received(DONT, ComPort, out);
    EXPECT_TRUE(out.empty()) << "a refusal of our offer is not answered";
    EXPECT_EQ(options.Ours(ComPort), TTelnetOptions::EState::No);
}

// ------------------------------------------------------------------ RFC 2217 messages

DCB LineDcb(DWORD baud, BYTE size, BYTE parity, BYTE stop, DWORD flags) {
    DCB dcb{};
    dcb.BaudRate = baud;
    dcb.ByteSize = size;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.Flags = DCB_fBinary | flags;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

TBytes Message(uint8_t command, TBytes value) {
    value.insert(value.begin(), command);
    TBytes out;
    AppendSubnegotiation(out, ComPort, value);
    return out;
}

TBytes Join(std::initializer_list<TBytes> parts) {
    TBytes all;
    for (const TBytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(Rfc2217Settings, EveryFieldOfTheDcbAsItsMessage) {
    using namespace rfc2217;
    constexpr DWORD DtrOnFlag = DTR_CONTROL_ENABLE << 4, RtsOnFlag = RTS_CONTROL_ENABLE << 12;
    const struct {
        DCB dcb;
        TBytes messages;
    } cases[] = {
        {LineDcb(38400, 8, NOPARITY, ONESTOPBIT, DtrOnFlag | RtsOnFlag),
         Join({Message(SetBaudRate, {0, 0, 0x96, 0}), Message(SetDataSize, {8}), Message(SetParity, {1}),
               Message(SetStopSize, {1}), Message(SetControl, {FlowNone}), Message(SetControl, {InboundFlowNone}),
               Message(SetControl, {DtrOn}), Message(SetControl, {RtsOn})})},
        // 0xFF inside a value is escaped; lines off.
        {LineDcb(65535, 7, EVENPARITY, TWOSTOPBITS, 0),
         Join({Message(SetBaudRate, {0, 0, 0xFF, 0xFF}), Message(SetDataSize, {7}), Message(SetParity, {3}),
               Message(SetStopSize, {2}), Message(SetControl, {FlowNone}), Message(SetControl, {InboundFlowNone}),
               Message(SetControl, {DtrOff}), Message(SetControl, {RtsOff})})},
        // RTS/CTS: the server drives RTS, so no RTS level is sent.
        {LineDcb(115200, 5, MARKPARITY, ONE5STOPBITS, DCB_fOutxCtsFlow | (RTS_CONTROL_HANDSHAKE << 12) | DtrOnFlag),
         Join({Message(SetBaudRate, {0, 1, 0xC2, 0}), Message(SetDataSize, {5}), Message(SetParity, {4}),
               Message(SetStopSize, {3}), Message(SetControl, {FlowHardware}),
               Message(SetControl, {InboundFlowHardware}), Message(SetControl, {DtrOn})})},
        // XON/XOFF out only, space parity.
        {LineDcb(9600, 6, SPACEPARITY, ONESTOPBIT, DCB_fOutX),
         Join({Message(SetBaudRate, {0, 0, 0x25, 0x80}), Message(SetDataSize, {6}), Message(SetParity, {5}),
               Message(SetStopSize, {1}), Message(SetControl, {FlowXonXoff}), Message(SetControl, {InboundFlowNone}),
               Message(SetControl, {DtrOff}), Message(SetControl, {RtsOff})})},
    };
    for (const auto& c : cases) {
        const std::optional<TComPortSettings> settings = SettingsOf(c.dcb);
        ASSERT_TRUE(settings) << c.dcb.BaudRate;
        TBytes out;
        AppendSettings(std::nullopt, *settings, out);
        EXPECT_EQ(out, c.messages) << c.dcb.BaudRate;
    }
}

TEST(Rfc2217Settings, OnlyWhatChangedIsSentAgain) {
    using namespace rfc2217;
    const DCB before = LineDcb(38400, 8, NOPARITY, ONESTOPBIT, 0);
    DCB after = before;
    after.Parity = ODDPARITY;
    after.Flags |= DCB_fInX;
    TBytes out;
    AppendSettings(SettingsOf(before), *SettingsOf(after), out);
    EXPECT_EQ(out, Join({Message(SetParity, {2}), Message(SetControl, {InboundFlowXonXoff})}));
    out.clear();
    AppendSettings(SettingsOf(after), *SettingsOf(after), out);
    EXPECT_TRUE(out.empty());
}

TEST(Rfc2217Settings, WhatALocalLineRefusesIsRefusedHereToo) {
    const DCB refused[] = {LineDcb(0, 8, NOPARITY, ONESTOPBIT, 0), LineDcb(9600, 4, NOPARITY, ONESTOPBIT, 0),
                           LineDcb(9600, 8, NOPARITY, ONE5STOPBITS, 0), LineDcb(9600, 8, 5, ONESTOPBIT, 0),
                           LineDcb(9600, 8, NOPARITY, ONESTOPBIT, DCB_fOutxDsrFlow)};
    for (const DCB& dcb : refused) EXPECT_FALSE(rfc2217::SettingsOf(dcb)) << int(dcb.ByteSize);
}

TEST(Rfc2217Messages, PurgesAndMasks) {
    using namespace rfc2217;
    const struct {
        bool output, input;
        TBytes message;
    } purges[] = {{false, true, Message(PurgeData, {1})},
                  {true, false, Message(PurgeData, {2})},
                  {true, true, Message(PurgeData, {3})},
                  {false, false, {}}};
    for (const auto& p : purges) {
        TBytes out;
        AppendPurge(p.output, p.input, out);
        EXPECT_EQ(out, p.message) << p.output << p.input;
    }
    const struct {
        DWORD events;
        uint8_t modem;
    } masks[] = {{EV_RXCHAR | EV_ERR | EV_BREAK, 0x00}, {EV_CTS, 0x11}, {EV_DSR | EV_RLSD, 0xAA}, {EV_RING, 0x44}};
    for (const auto& m : masks) {
        EXPECT_EQ(MasksFor(m.events).lineState, 0x1E) << "errors are always counted";
        EXPECT_EQ(MasksFor(m.events).modemState, m.modem) << m.events;
    }
}

TEST(Rfc2217Messages, ServerNotificationsAsEventsAndErrors) {
    using namespace rfc2217;
    const struct {
        TBytes message;  // command and value, as the server sends them
        DWORD events, errors;
    } cases[] = {
        {{106, 0x10}, EV_BREAK, CE_BREAK},
        {{106, 0x08}, EV_ERR, CE_FRAME},
        {{106, 0x06}, EV_ERR, CE_OVERRUN | CE_RXPARITY},
        {{106, 0x61}, 0, 0},  // data ready, transmitter empty: no error
        {{107, 0x00}, 0, 0},  // the first report only sets the levels
        {{107, 0x11}, EV_CTS, 0},
        {{107, 0x10}, 0, 0},
        {{107, 0x30}, EV_DSR, 0},  // a level that changed without its change bit
        {{107, 0x70}, 0, 0},       // ring starts
        {{107, 0x30}, EV_RING, 0}, // ring ends
        {{107, 0x88 | 0x30}, EV_RLSD, 0},
        {{101, 0, 0, 0x96, 0}, 0, 0},  // answers to our requests
        {{106}, 0, 0},                 // a notification without its value
    };
    TModemState modem;
    for (const auto& c : cases) {
        const TServerNews news = Interpret(c.message.data(), c.message.size(), modem);
        EXPECT_EQ(news.change.events, c.events) << int(c.message[0]) << "/" << int(c.message.back());
        EXPECT_EQ(news.change.errors, c.errors) << int(c.message[0]) << "/" << int(c.message.back());
    }
    const TBytes suspend = {108}, resume = {109}, baud = {101, 0, 0, 0x25, 0x80};
    EXPECT_EQ(Interpret(suspend.data(), 1, modem).suspend, true);
    EXPECT_EQ(Interpret(resume.data(), 1, modem).suspend, false);
    EXPECT_TRUE(Interpret(baud.data(), baud.size(), modem).baudRate);
}

// ------------------------------------------------------------------ names

TEST(NetNames, SchemesHostsAndPorts) {
    const struct {
        const char* name;
        bool net, valid;
        ENetProtocol protocol;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"rfc2217://127.0.0.1:7000", true, true, ENetProtocol::Rfc2217, "127.0.0.1", 7000},
        {"socket://bench-pc.local:2001", true, true, ENetProtocol::Raw, "bench-pc.local", 2001},
        {"RFC2217://[::1]:65535", true, true, ENetProtocol::Rfc2217, "::1", 65535},
        {"Socket://localhost:1", true, true, ENetProtocol::Raw, "localhost", 1},
        {"rfc2217://host", true, false, ENetProtocol::Raw, "", 0},
        {"rfc2217://:7000", true, false, ENetProtocol::Raw, "", 0},
        {"rfc2217://host:0", true, false, ENetProtocol::Raw, "", 0},
        {"rfc2217://host:65536", true, false, ENetProtocol::Raw, "", 0},
        {"socket://host:70a", true, false, ENetProtocol::Raw, "", 0},
        {"socket://host:7000/x", true, false, ENetProtocol::Raw, "", 0},
        {"socket://ho st:7000", true, false, ENetProtocol::Raw, "", 0},
        {"socket://[::1:7000", true, false, ENetProtocol::Raw, "", 0},
        {"/dev/ttyUSB0", false, false, ENetProtocol::Raw, "", 0},
        {"COM1", false, false, ENetProtocol::Raw, "", 0},
        {"telnet://host:23", false, false, ENetProtocol::Raw, "", 0},
        {"/tmp/rfc2217://x:1", false, false, ENetProtocol::Raw, "", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNetName(c.name), c.net) << c.name;
        const std::optional<TNetAddress> address = ParseNetName(c.name);
        ASSERT_EQ(address.has_value(), c.valid) << c.name;
        if (!address) continue;
        EXPECT_EQ(address->protocol, c.protocol) << c.name;
        EXPECT_EQ(address->host, c.host) << c.name;
        EXPECT_EQ(address->port, c.port) << c.name;
    }
}

}  // namespace
