// The link's insides for white-box tests: its transaction area and decoded
// values, read and written as the link itself does. Product code asks the
// link's accessors instead.
#pragma once

#include "link/ControllerLink.h"

struct TLinkInsight {
    explicit TLinkInsight(TControllerLink& link)
        : FCmdFrame(link.FCmdFrame), FReply(link.FReply), FReplyExpected(link.FReplyExpected),
          FReplyCount(link.FReplyCount), FLinkState(link.FLinkState), FIdentText(link.FIdentText),
          FPosition(link.FPosition), FTargetPosition(link.FTargetPosition), FSampleTick(link.FSampleTick),
          FPrevSampleTick(link.FPrevSampleTick), FVelocity(link.FVelocity), FMismatch(link.FMismatch),
          FParams(link.FParams) {}

    uint8_t (&FCmdFrame)[TControllerLink::CmdFrameSize];
    uint8_t (&FReply)[TControllerLink::ReplySize];
    uint8_t& FReplyExpected;
    uint8_t& FReplyCount;
    TLinkState& FLinkState;
    std::string& FIdentText;
    int32_t& FPosition;
    int32_t& FTargetPosition;
    uint16_t& FSampleTick;
    uint16_t& FPrevSampleTick;
    int16_t& FVelocity;
    int16_t& FMismatch;
    std::array<uint16_t, 6>& FParams;
};

inline TLinkInsight Inside(TControllerLink& link) { return TLinkInsight(link); }
