#include "traffic/TrafficLog.h"

#include "link/ControllerLink.h"
#include "link/Protocol.h"

namespace traffic {

namespace {

QByteArray Bytes(std::span<const uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace

TLog::TLog(TWords words, std::function<double()> clock, size_t bound)
    : FWords(std::move(words)), FClock(std::move(clock)), FBound(bound) {}

void TLog::Clear() {
    FAdded -= FLines.size();  // a view's count stays monotonic: what it showed is gone
    FLines.clear();
}

void TLog::Add(TLine line) {
    line.timeMs = FClock ? FClock() : 0;
    if (FSink) FSink(line);
    FLines.push_back(std::move(line));
    ++FAdded;
    while (FLines.size() > FBound) FLines.pop_front();
}

void TLog::FrameSent(std::span<const uint8_t> frame) {
    FSentAt.start();
    FFrame = Bytes(frame);
    TLine line;
    line.kind = TLine::Sent;
    line.code = frame.empty() ? 0 : frame[0];
    line.bytes = FFrame;
    Add(std::move(line));
}

void TLog::TransactionEnded(uint8_t code, TLinkState state, std::span<const uint8_t> reply) {
    TLine line;
    line.kind = TLine::Reply;
    line.code = code;
    line.bytes = Bytes(reply);
    line.frame = FFrame;  // shared, not copied
    line.state = state;
    if (FSentAt.isValid()) line.rttMs = double(FSentAt.nsecsElapsed()) / 1e6;
    line.failure = state != lsDone;
    Add(std::move(line));
}

void TLog::Probed(int sent, bool answered) {
    TLine line;
    line.kind = TLine::Probe;
    line.code = protocol::ProbeByte;
    line.bytes = QByteArray(1, char(protocol::ProbeByte));
    line.probes = sent;
    line.answered = answered;
    line.failure = !answered;
    Add(std::move(line));
}

void TLog::LineLost() {
    TLine line;
    line.kind = TLine::Lost;
    line.failure = true;
    Add(std::move(line));
}

}  // namespace traffic
