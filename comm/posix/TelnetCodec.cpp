#include "comm/posix/TelnetCodec.h"

namespace commapi::posix::telnet {

size_t TTelnetDecoder::Decode(const uint8_t* in, size_t size, uint8_t* out, TTelnetSink& sink) {
    size_t kept = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = in[i];
        switch (FState) {
        case EState::Data:
            if (byte == IAC) FState = EState::Iac;
            else out[kept++] = byte;
            break;
        case EState::Iac:
            if (byte == IAC) {
                out[kept++] = IAC;
                FState = EState::Data;
            } else {
                Command(byte);
            }
            break;
        case EState::Verb:
            sink.Negotiation(FVerb, byte);
            FState = EState::Data;
            break;
        case EState::SubOption:
            FSubOption = byte;
            FSub.clear();
            FSubTooLong = false;
            FState = EState::Sub;
            break;
        case EState::Sub:
            if (byte == IAC) FState = EState::SubIac;
            else SubByte(byte);
            break;
        case EState::SubIac:
            if (byte == IAC) {
                SubByte(IAC);
                FState = EState::Sub;
            } else if (byte == SE) {
                if (!FSubTooLong) sink.Subnegotiation(FSubOption, FSub.data(), FSub.size());
                FState = EState::Data;
            } else {
                // A command inside a subnegotiation ends it unfinished (RFC 855
                // has no such thing); the command itself still counts.
                Command(byte);
            }
            break;
        }
    }
    return kept;
}

// The byte after an IAC that is neither IAC nor SE-in-a-subnegotiation.
void TTelnetDecoder::Command(uint8_t byte) {
    if (byte >= WILL && byte <= DONT) {
        FVerb = byte;
        FState = EState::Verb;
    } else if (byte == SB) {
        FState = EState::SubOption;
    } else {
        FState = EState::Data;  // NOP, GA, DM, BRK and the rest ask nothing of a serial client
    }
}

void TTelnetDecoder::SubByte(uint8_t byte) {
    if (FSub.size() >= MaxSubnegotiation) FSubTooLong = true;
    else FSub.push_back(byte);
}

void AppendData(TBytes& out, const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == IAC) out.push_back(IAC);
    }
}

TEscapedProgress EscapedProgress(const uint8_t* data, size_t size, size_t sent) {
    TEscapedProgress progress;
    for (size_t wire = 0; progress.taken < size; ++progress.taken) {
        const size_t length = data[progress.taken] == IAC ? 2 : 1;
        if (wire + length > sent) {
            progress.halfPair = wire < sent;
            break;
        }
        wire += length;
    }
    return progress;
}

void AppendNegotiation(TBytes& out, uint8_t verb, uint8_t option) { out.insert(out.end(), {IAC, verb, option}); }

void AppendSubnegotiation(TBytes& out, uint8_t option, const TBytes& data) {
    out.insert(out.end(), {IAC, SB, option});
    AppendData(out, data.data(), data.size());
    out.insert(out.end(), {IAC, SE});
}

}  // namespace commapi::posix::telnet
