#include "measure/StepStart.h"

#include <optional>

#include <QDeadlineTimer>

#include "link/Protocol.h"
#include "paramset/ParamSync.h"
#include "record/SamplePlot.h"

namespace measure {

namespace {

TStepStarted Failed(TLinkState state, uint8_t code) { return {EStepStart::Failed, state, code}; }

// Polls until the velocity has been 0 over restMs of the controller's ticks.
TStepStarted AwaitRest(TControllerLink& link, const TStepStartOptions& options) {
    const QDeadlineTimer limit(options.limitMs);
    std::optional<uint16_t> lastTick;
    uint32_t stillMs = 0;
    while (!limit.hasExpired()) {
        const TLinkState state = paramsync::Transact(link, [&link] { return link.SendGetSample(); });
        if (state != lsDone) return Failed(state, protocol::cmdGetSample);
        const TLinkSample sample = link.Sample();
        const uint32_t ticks = lastTick ? sampleplot::TickDistance(*lastTick, sample.tick) : 0;
        stillMs = sample.velocity == 0 ? stillMs + ticks * sampleplot::MsPerTick : 0;
        lastTick = sample.tick;
        if (stillMs >= uint32_t(options.restMs)) return {};
    }
    return {EStepStart::NotAtRest};
}

// The regulator keeps its integral across tests; another mode and back clears it.
TStepStarted ResetRegulator(TControllerLink& link) {
    for (const int mode : {int(protocol::smPwm), int(protocol::smVelocity)}) {
        const TLinkState state = paramsync::Transact(link, [&link, mode] { return link.SendSetMode(uint8_t(mode)); });
        if (state != lsDone) return Failed(state, protocol::cmdSetMode);
    }
    return {};
}

}  // namespace

TStepStarted PrepareStep(TControllerLink& link, int servoMode, const TStepStartOptions& options) {
    if (servoMode != protocol::smVelocity) return {EStepStart::NotVelocity};
    if (options.resetFirst) {
        const TStepStarted reset = ResetRegulator(link);
        if (reset.outcome != EStepStart::Ready) return reset;
    }
    const TStepStarted rest = AwaitRest(link, options);
    if (rest.outcome != EStepStart::Ready || !options.resetRegulator) return rest;
    return ResetRegulator(link);
}

}  // namespace measure
