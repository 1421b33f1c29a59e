#include "OutputQueue.h"

#include <algorithm>

namespace sim {

void TOutputQueue::Push(int64_t dueUs, std::vector<uint8_t> bytes) {
    if (bytes.empty()) return;
    if (!FPieces.empty()) dueUs = std::max(dueUs, FPieces.back().DueUs);
    FPieces.push_back(TPending{dueUs, std::move(bytes)});
}

std::vector<uint8_t> TOutputQueue::TakeDue(int64_t nowUs) {
    std::vector<uint8_t> out;
    while (!FPieces.empty() && TakeFromFront(nowUs, out) > 0) {
        if (FPieces.front().Sent == FPieces.front().Bytes.size())
            FPieces.pop_front();
        else
            break;
    }
    return out;
}

// Takes what is due of the front piece; returns the number of bytes taken.
size_t TOutputQueue::TakeFromFront(int64_t nowUs, std::vector<uint8_t>& out) {
    TPending& piece = FPieces.front();
    if (piece.DueUs > nowUs) return 0;
    size_t count = piece.Bytes.size() - piece.Sent;
    if (FBaud) {
        const int64_t start = std::max(FLineFreeUs, piece.DueUs);
        const int64_t done = nowUs >= start ? (nowUs - start) / ByteUs() : 0;
        count = std::min<size_t>(count, size_t(done));
        FLineFreeUs = start + int64_t(count) * ByteUs();
    }
    auto from = piece.Bytes.begin() + long(piece.Sent);
    out.insert(out.end(), from, from + long(count));
    piece.Sent += count;
    return count;
}

std::optional<int64_t> TOutputQueue::NextDueUs() const {
    if (FPieces.empty()) return std::nullopt;
    const int64_t due = FPieces.front().DueUs;
    if (!FBaud) return due;
    return std::max(FLineFreeUs, due) + ByteUs();
}

void TOutputQueue::Clear() { FPieces.clear(); }

}  // namespace sim
