#include "sim/OutputQueue.h"

#include <algorithm>

namespace sim {

void TOutputQueue::Push(int64_t dueUs, std::vector<uint8_t> bytes) {
    Fit(bytes);
    if (bytes.empty()) return;
    FQueued += bytes.size();
    if (!FPieces.empty()) {
        TPending& back = FPieces.back();
        // Due no later than the back piece, so due with it: one piece, and a
        // stream of one-byte replies costs little more than its bytes.
        if (dueUs <= back.DueUs) {
            back.Bytes.insert(back.Bytes.end(), bytes.begin(), bytes.end());
            return;
        }
    }
    FPieces.push_back(TPending{dueUs, std::move(bytes)});
}

void TOutputQueue::Fit(std::vector<uint8_t>& bytes) {
    if (FLimit == 0) return;
    const size_t room = FLimit > FQueued ? FLimit - FQueued : 0;
    if (bytes.size() <= room) return;
    FDropped += bytes.size() - room;
    bytes.resize(room);
}

std::vector<uint8_t> TOutputQueue::TakeDue(int64_t nowUs, size_t maxBytes) {
    std::vector<uint8_t> out;
    while (!FPieces.empty() && out.size() < maxBytes &&
           TakeFromFront(nowUs, maxBytes - out.size(), out) > 0) {
        if (FPieces.front().Sent == FPieces.front().Bytes.size())
            FPieces.pop_front();
        else
            break;
    }
    return out;
}

// Takes what is due of the front piece, up to maxBytes; returns the number of
// bytes taken.
size_t TOutputQueue::TakeFromFront(int64_t nowUs, size_t maxBytes, std::vector<uint8_t>& out) {
    TPending& piece = FPieces.front();
    if (piece.DueUs > nowUs) return 0;
    const size_t count = std::min(piece.Bytes.size() - piece.Sent, maxBytes);
    auto from = piece.Bytes.begin() + long(piece.Sent);
    out.insert(out.end(), from, from + long(count));
    piece.Sent += count;
    FQueued -= count;
    return count;
}

size_t TOutputQueue::DueBytes(int64_t nowUs) const {
    size_t due = 0;
    for (const TPending& piece : FPieces) {
        if (piece.DueUs > nowUs) break;
        due += piece.Bytes.size() - piece.Sent;
    }
    return due;
}

std::optional<int64_t> TOutputQueue::NextDueUs() const {
    if (FPieces.empty()) return std::nullopt;
    return FPieces.front().DueUs;
}

void TOutputQueue::Clear() {
    FPieces.clear();
    FQueued = 0;
}

}  // namespace sim
