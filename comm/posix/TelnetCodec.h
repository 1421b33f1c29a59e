// Telnet framing (RFC 854/855): data bytes, with 0xFF sent as IAC IAC, and
// the commands between them: option negotiation (WILL/WONT/DO/DONT) and
// subnegotiations (IAC SB option ... IAC SE). The decoder keeps its state
// between calls, so a command may be split across reads anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace commapi::posix::telnet {

constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t OptionBinary = 0, OptionSuppressGoAhead = 3, OptionComPort = 44;

using TBytes = std::vector<uint8_t>;

// What the decoder finds besides data.
class TTelnetSink {
public:
    virtual ~TTelnetSink() = default;
    // WILL, WONT, DO or DONT, with its option.
    virtual void Negotiation(uint8_t verb, uint8_t option) = 0;
    // A whole subnegotiation: its option and its bytes, IAC IAC undone.
    virtual void Subnegotiation(uint8_t option, const uint8_t* data, size_t size) = 0;
};

class TTelnetDecoder {
public:
    // Longer subnegotiations are dropped whole: no server message is near it.
    static constexpr size_t MaxSubnegotiation = 256;

    // Decodes `size` bytes from the peer; their data bytes go to `out` (never
    // more than `size`; `out` may be `in`). Returns the number of data bytes.
    size_t Decode(const uint8_t* in, size_t size, uint8_t* out, TTelnetSink& sink);

private:
    enum class EState { Data, Iac, Verb, SubOption, Sub, SubIac };
    void Command(uint8_t byte);
    void SubByte(uint8_t byte);

    EState FState = EState::Data;
    uint8_t FVerb = 0;
    uint8_t FSubOption = 0;
    bool FSubTooLong = false;
    TBytes FSub;
};

// Data for the peer, every 0xFF doubled, appended to `out`.
void AppendData(TBytes& out, const uint8_t* data, size_t size);
// How far a send of the first `sent` bytes of AppendData's output for
// `data` got: the data bytes whose wire form went out whole, and whether
// the one after them, a 0xFF, went out half (its second IAC still to send).
struct TEscapedProgress {
    size_t taken = 0;
    bool halfPair = false;
};
TEscapedProgress EscapedProgress(const uint8_t* data, size_t size, size_t sent);

void AppendNegotiation(TBytes& out, uint8_t verb, uint8_t option);
// IAC SB option data IAC SE, 0xFF in the data doubled.
void AppendSubnegotiation(TBytes& out, uint8_t option, const TBytes& data);

}  // namespace commapi::posix::telnet
