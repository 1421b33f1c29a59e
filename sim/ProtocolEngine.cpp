#include "sim/ProtocolEngine.h"

#include "sim/CommandTable.h"

namespace sim {

TProtocolEngine::TProtocolEngine(TController& controller) : FController(controller) {}

std::vector<TExchange> TProtocolEngine::Feed(std::span<const uint8_t> bytes,
                                             const TFaults& faults) {
    std::vector<TExchange> out;
    for (uint8_t byte : bytes) Accept(byte, faults, out);
    return out;
}

void TProtocolEngine::Accept(uint8_t byte, const TFaults& faults, std::vector<TExchange>& out) {
    switch (FState) {
    case EState::Code:
        if (byte == ProbeByte) {
            out.push_back(Probe(faults));
            return;
        }
        FFrame = TFrame{byte, {}};
        FState = EState::Length;
        return;
    case EState::Length:
        FLength = byte;
        if (FLength > MaxPayload) {
            FState = EState::Code;
            out.push_back(TExchange{false, FFrame, {StatusRefused}});
            return;
        }
        FState = EState::Payload;
        break;
    case EState::Payload:
        FFrame.Payload.push_back(byte);
        break;
    }
    if (FFrame.Payload.size() == FLength) {
        FState = EState::Code;
        out.push_back(Complete(faults));
    }
}

TExchange TProtocolEngine::Probe(const TFaults& faults) const {
    TExchange exchange;
    exchange.Probe = true;
    exchange.Frame.Code = ProbeByte;
    if (faults.NeverAnswerProbe) return exchange;
    exchange.Reply.assign(faults.ProbeTwoBytes ? 2 : 1, ProbeAnswer);
    return exchange;
}

TExchange TProtocolEngine::Complete(const TFaults& faults) {
    TExchange exchange{false, FFrame, {}};
    const uint8_t code = FFrame.Code;
    auto shape = CommandShape(code);
    if (!shape) {
        exchange.Reply = {StatusRefused};
    } else if (FFrame.Payload.size() != shape->Payload || faults.RefuseAll ||
               faults.RefuseCodes.find(char(code)) != std::string::npos ||
               (code == 'W' && faults.RefuseParamWrite == FFrame.Payload[0])) {
        exchange.Reply = TController::Refusal(code);
    } else {
        std::vector<uint8_t> payload = FFrame.Payload;
        if (code == 'W') {
            payload[1] &= uint8_t(faults.StoredWordMask & 0xFF);
            payload[2] &= uint8_t(faults.StoredWordMask >> 8);
        }
        exchange.Reply = FController.Execute(code, payload);
    }
    exchange.Frame.Tick = FController.State().Tick;
    return exchange;
}

}  // namespace sim
