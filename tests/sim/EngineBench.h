// A controller and its protocol engine on a stepped clock, driven with bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/Clock.h"
#include "sim/Controller.h"
#include "sim/ProtocolEngine.h"

using TBytes = std::vector<uint8_t>;

// Command frames as the console sends them.
inline TBytes Drive(int16_t value) { return {'B', 2, uint8_t(value), uint8_t(uint16_t(value) >> 8)}; }
inline TBytes Mode(uint8_t mode) { return {'M', 1, mode}; }
inline TBytes WriteParam(uint8_t index, uint16_t word) {
    return {'W', 3, index, uint8_t(word), uint8_t(word >> 8)};
}
inline TBytes Target(int32_t position) {
    return {'P', 3, uint8_t(position), uint8_t(position >> 8), uint8_t(position >> 16)};
}

// Bytes of a text, without its terminating NUL.
inline TBytes Text(const std::string& text) { return TBytes(text.begin(), text.end()); }

inline TBytes Cat(std::initializer_list<TBytes> parts) {
    TBytes all;
    for (const TBytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct TEngineBench {
    sim::TSteppedClock Clock;
    sim::TController Controller{Clock};
    sim::TProtocolEngine Engine{Controller};
    sim::TFaults Faults;

    // Feeds the bytes; returns every reply byte, in order.
    TBytes Run(const TBytes& input) {
        TBytes out;
        for (const sim::TExchange& exchange : Engine.Feed(input, Faults))
            out.insert(out.end(), exchange.Reply.begin(), exchange.Reply.end());
        return out;
    }
    // One 'V' sample: tick, velocity word, mismatch word.
    struct TSample {
        uint16_t Tick;
        int16_t Velocity;
        int16_t Mismatch;
    };
    TSample Sample() {
        TBytes r = Run({'V', 0});
        return {uint16_t(r[0] | r[1] << 8), int16_t(r[2] | r[3] << 8), int16_t(r[4] | r[5] << 8)};
    }
    int32_t Position() {
        TBytes r = Run({'p', 0});
        int32_t v = r[0] | r[1] << 8 | r[2] << 16;
        return (v & 0x800000) ? v - 0x1000000 : v;
    }
};
