#include "comm/posix/TelnetOptions.h"

namespace commapi::posix::telnet {

TTelnetOptions::TTelnetOptions(std::initializer_list<uint8_t> ours, std::initializer_list<uint8_t> his) {
    for (uint8_t option : ours) FOurs.wanted[option] = EState::No;
    for (uint8_t option : his) FHis.wanted[option] = EState::No;
}

TTelnetOptions::EState TTelnetOptions::TSide::State(uint8_t option) const {
    const auto it = wanted.find(option);
    return it == wanted.end() ? EState::No : it->second;
}

TTelnetOptions::EState TTelnetOptions::Ours(uint8_t option) const { return FOurs.State(option); }
TTelnetOptions::EState TTelnetOptions::His(uint8_t option) const { return FHis.State(option); }

void TTelnetOptions::Offer(TBytes& out) {
    for (auto& [option, state] : FOurs.wanted) {
        if (state != EState::No) continue;
        state = EState::WantYes;
        AppendNegotiation(out, WILL, option);
    }
    for (auto& [option, state] : FHis.wanted) {
        if (state != EState::No) continue;
        state = EState::WantYes;
        AppendNegotiation(out, DO, option);
    }
}

void TTelnetOptions::Received(uint8_t verb, uint8_t option, TBytes& out) {
    switch (verb) {
    case DO: return Answer(FOurs, option, true, WILL, WONT, out);
    case DONT: return Answer(FOurs, option, false, WILL, WONT, out);
    case WILL: return Answer(FHis, option, true, DO, DONT, out);
    case WONT: return Answer(FHis, option, false, DO, DONT, out);
    default: return;
    }
}

// The peer asks for `option` on `side` to be on (`enable`) or off. `yes`/`no`
// are this side's words for it (WILL/WONT for ours, DO/DONT for his).
void TTelnetOptions::Answer(TSide& side, uint8_t option, bool enable, uint8_t yes, uint8_t no, TBytes& out) {
    const auto it = side.wanted.find(option);
    if (it == side.wanted.end()) {
        if (enable) AppendNegotiation(out, no, option);  // refused; a request to stop needs no answer
        return;
    }
    EState& state = it->second;
    if (enable) {
        if (state == EState::No) AppendNegotiation(out, yes, option);
        state = EState::Yes;  // from WantYes: the peer agreed, no answer due
    } else {
        if (state == EState::Yes) AppendNegotiation(out, no, option);
        state = EState::No;  // from WantYes: the peer refused
    }
}

}  // namespace commapi::posix::telnet
