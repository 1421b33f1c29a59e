// Telnet option negotiation (RFC 1143, without its queue: this side never
// takes an option back). Options on our side are answered with WILL/WONT,
// options on the peer's side with DO/DONT; a request that merely
// acknowledges one we made gets no answer, so the two sides never loop.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>

#include "comm/posix/TelnetCodec.h"

namespace commapi::posix::telnet {

class TTelnetOptions {
public:
    enum class EState { No, Yes, WantYes };

    // `ours`: options this side offers (WILL); `his`: options it asks the
    // peer for (DO). Every other option is refused.
    TTelnetOptions(std::initializer_list<uint8_t> ours, std::initializer_list<uint8_t> his);

    // The opening requests: WILL for each of ours, DO for each of his.
    void Offer(TBytes& out);
    // A WILL, WONT, DO or DONT from the peer; the answer, if one is due, goes to `out`.
    void Received(uint8_t verb, uint8_t option, TBytes& out);

    EState Ours(uint8_t option) const;
    EState His(uint8_t option) const;

private:
    struct TSide {
        std::map<uint8_t, EState> wanted;  // every option this side agrees to, and its state
        EState State(uint8_t option) const;
    };
    static void Answer(TSide& side, uint8_t option, bool enable, uint8_t yes, uint8_t no, TBytes& out);

    TSide FOurs, FHis;
};

}  // namespace commapi::posix::telnet
