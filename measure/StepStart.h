// The guided step test's clean start, the same for the window and
// servo-cli: the velocity mode only; the motor at rest (velocity 0 over
// RestMs of controller ticks, waited for at most LimitMs with the drive at
// 0); and the regulator reset by switching the mode away and back, unless
// the user keeps it. Blocking: runs on the link's thread, pumping its
// events while it waits for each reply.
#pragma once

#include <cstdint>

#include "link/ControllerLink.h"

namespace measure {

struct TStepStartOptions {
    bool resetRegulator = true;
    // Reset before the wait too: an integral wound up under other gains (a
    // tuning's last experiment) can keep the motor turning at drive 0.
    bool resetFirst = false;
    int restMs = 200;
    int limitMs = 5000;
};

enum class EStepStart {
    Ready,
    NotVelocity,  // the test steps a velocity command
    NotAtRest,    // the velocity never stayed 0 for restMs within limitMs
    Failed,       // a command did not end accepted: `state` and `code`
};

struct TStepStarted {
    EStepStart outcome = EStepStart::Ready;
    TLinkState state = lsDone;
    uint8_t code = 0;
};

// servoMode: the controller's mode as last read; the drive is already 0.
TStepStarted PrepareStep(TControllerLink& link, int servoMode, const TStepStartOptions& options = {});

}  // namespace measure
