// The drive value ('B') as the controller gets it: sent at once while the
// link is free; refused by a transaction under way, the newest value is owed
// and goes out as soon as that ends, unless the frame under way carries it
// already. Runs on the thread that owns the link.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

class TControllerLink;

namespace measure {

class TDriveLine {
public:
    explicit TDriveLine(std::function<TControllerLink&()> link) : FLink(std::move(link)) {}

    void Send(int16_t value);
    // An owed value goes out when the link is idle; true when it went.
    bool SendOwed();
    bool Owed() const { return FOwed.has_value(); }
    void Forget() { FOwed.reset(); }
    // Waits until the link is idle with every owed value sent and ended.
    void Settle();

private:
    std::function<TControllerLink&()> FLink;
    std::optional<int16_t> FOwed;
    std::optional<int16_t> FOnWire;  // the value of the last drive frame sent
};

}  // namespace measure
