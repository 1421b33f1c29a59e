// How the console drives its port: the line set-up and the binding of the
// port's receive events to the controller link. The window, the link tests,
// the soak, the benchmarks and the fuzzer all use these, so a change here
// reaches every one of them. Main thread only.
#pragma once

#include <functional>

#include "comm/CommInt.h"

class TControllerLink;

namespace consoleline {

// The events the console watches: break, line error, bytes, the event byte.
constexpr TCommEventTypes Events =
    EventBit(evBreak) | EventBit(evError) | EventBit(evRxChar) | EventBit(evRxFlag);
constexpr int32_t WriteTimeoutMs = 200;
constexpr int32_t QueueSize = 1024;

// 38400 8N1, no flow control, no options, 200 ms write time-out, 1024-byte
// queues, the four events. Set before Open.
void Configure(TCustomComm& port);

// Received bytes go to the link. A read that finds the line gone and the
// port's own line-lost event both end in `lineLost`; without one the link
// drops the line.
void Bind(TCustomComm& port, TControllerLink& link, std::function<void()> lineLost = {});
// Received bytes go nowhere any more.
void Unbind(TCustomComm& port);

}  // namespace consoleline
