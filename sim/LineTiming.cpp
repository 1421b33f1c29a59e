#include "sim/LineTiming.h"

namespace sim {

namespace {

bool ValidParity(char parity) {
    return parity == 'N' || parity == 'E' || parity == 'O' || parity == 'M' || parity == 'S';
}

}  // namespace

uint32_t FrameBits(const TCharFrame& frame) {
    return 1u + frame.DataBits + (frame.Parity == 'N' ? 0u : 1u) + frame.StopBits;
}

int64_t ByteTimeNs(uint32_t baud, const TCharFrame& frame) {
    if (baud == 0) return 0;
    const int64_t bitsNs = int64_t(FrameBits(frame)) * 1'000'000'000;
    return (bitsNs + baud / 2) / baud;
}

std::optional<TCharFrame> ParseCharFrame(std::string_view text) {
    if (text.size() != 3) return std::nullopt;
    const char data = text[0];
    const char parity = char(text[1] >= 'a' && text[1] <= 'z' ? text[1] - 'a' + 'A' : text[1]);
    const char stop = text[2];
    if (data < '5' || data > '8' || !ValidParity(parity) || (stop != '1' && stop != '2'))
        return std::nullopt;
    return TCharFrame{uint8_t(data - '0'), parity, uint8_t(stop - '0')};
}

}  // namespace sim
