// Reply faults and the paced output queue, without a line.
#include <gtest/gtest.h>

#include "sim/OutputQueue.h"
#include "sim/ReplyShaper.h"

namespace {

using TBytes = std::vector<uint8_t>;

sim::TExchange Reply(uint8_t code, TBytes reply) { return {false, {code, {}}, std::move(reply)}; }

const sim::TExchange Sample = Reply('V', {1, 2, 3, 4, 5, 6, '+'});

TBytes Joined(const std::vector<sim::TPiece>& pieces) {
    TBytes all;
    for (const auto& piece : pieces) all.insert(all.end(), piece.Bytes.begin(), piece.Bytes.end());
    return all;
}

TEST(ReplyShaper, DropNextCountsDown) {
    sim::TReplyShaper shaper;
    sim::TFaults faults;
    faults.DropNext = 2;
    EXPECT_TRUE(shaper.Shape(Sample, faults).empty());
    EXPECT_TRUE(shaper.Shape(Sample, faults).empty());
    EXPECT_EQ(faults.DropNext, 0u);
    EXPECT_EQ(shaper.Shape(Sample, faults).size(), 1u);
}

TEST(ReplyShaper, DropEveryThird) {
    sim::TReplyShaper shaper;
    sim::TFaults faults;
    faults.DropEvery = 3;
    std::vector<bool> sent;
    for (int i = 0; i < 7; ++i) sent.push_back(!shaper.Shape(Sample, faults).empty());
    EXPECT_EQ(sent, (std::vector<bool>{true, true, false, true, true, false, true}));
}

TEST(ReplyShaper, GarbageAroundAndWrongStatus) {
    sim::TReplyShaper shaper;
    sim::TFaults faults;
    faults.GarbageBefore = {0xAA, 0xBB};
    faults.GarbageAfter = {0xCC};
    faults.WrongStatus = uint8_t('?');
    EXPECT_EQ(Joined(shaper.Shape(Sample, faults)),
              (TBytes{0xAA, 0xBB, 1, 2, 3, 4, 5, 6, '?', 0xCC}));
}

TEST(ReplyShaper, DelayAndChunks) {
    sim::TReplyShaper shaper;
    sim::TFaults faults;
    faults.DelayMs = 40;
    faults.ChunkBytes = 3;
    faults.ChunkGapMs = 5;
    auto pieces = shaper.Shape(Sample, faults);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].OffsetUs, 40000);
    EXPECT_EQ(pieces[1].OffsetUs, 45000);
    EXPECT_EQ(pieces[2].OffsetUs, 50000);
    EXPECT_EQ(pieces[0].Bytes, (TBytes{1, 2, 3}));
    EXPECT_EQ(pieces[2].Bytes, (TBytes{'+'}));
    EXPECT_EQ(Joined(pieces), Sample.Reply);
}

TEST(ReplyShaper, FaultsHitOnlyTheListedCodesAndNeverTheProbe) {
    sim::TReplyShaper shaper;
    sim::TFaults faults;
    faults.ReplyCodes = "V";
    faults.DelayMs = 100;
    faults.WrongStatus = uint8_t(0);
    const sim::TExchange position = Reply('p', {7, 0, 0, '+'});
    auto untouched = shaper.Shape(position, faults);
    ASSERT_EQ(untouched.size(), 1u);
    EXPECT_EQ(untouched[0].OffsetUs, 0);
    EXPECT_EQ(untouched[0].Bytes, position.Reply);
    EXPECT_EQ(shaper.Shape(Sample, faults)[0].OffsetUs, 100000);

    faults.ReplyCodes.clear();
    faults.DropEvery = 1;
    sim::TExchange probe{true, {0xFF, {}}, {'X'}};
    auto answer = shaper.Shape(probe, faults);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0].Bytes, (TBytes{'X'}));
    EXPECT_TRUE(shaper.Shape(Sample, faults).empty());
}

TEST(OutputQueue, KeepsOrderAndDueTimes) {
    sim::TOutputQueue queue;
    queue.Push(1000, {1, 2});
    queue.Push(500, {3});  // may not overtake
    queue.Push(3000, {4});
    EXPECT_EQ(queue.NextDueUs(), 1000);
    EXPECT_TRUE(queue.TakeDue(999).empty());
    EXPECT_EQ(queue.TakeDue(1000), (TBytes{1, 2, 3}));
    EXPECT_EQ(queue.NextDueUs(), 3000);
    EXPECT_EQ(queue.TakeDue(5000), (TBytes{4}));
    EXPECT_TRUE(queue.Empty());
    EXPECT_FALSE(queue.NextDueUs().has_value());
}

}  // namespace

// A console that does not read: the queue holds its limit, drops the newest
// bytes beyond it and counts them; what it holds still leaves in order.
TEST(OutputQueue, DropsTheNewestBytesBeyondItsLimit) {
    sim::TOutputQueue queue;
    queue.SetLimit(10);
    queue.Push(0, {1, 2, 3, 4, 5, 6});
    queue.Push(0, {7, 8, 9, 10, 11, 12});
    EXPECT_EQ(queue.Queued(), 10u);
    EXPECT_EQ(queue.Dropped(), 2u);
    queue.Push(5, {13});
    EXPECT_EQ(queue.Dropped(), 3u);
    EXPECT_EQ(queue.TakeDue(0), (TBytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(queue.Queued(), 0u);
    queue.Push(0, {14, 15});  // room again once taken
    EXPECT_EQ(queue.TakeDue(0), (TBytes{14, 15}));
    EXPECT_EQ(queue.Dropped(), 3u);

    size_t pushed = 0;
    for (int i = 0; i < 1000; ++i) {
        queue.Push(i, TBytes(size_t(1 + i % 7), uint8_t(i)));
        pushed += size_t(1 + i % 7);
        ASSERT_LE(queue.Queued(), 10u) << "after push " << i;
    }
    EXPECT_EQ(queue.Queued() + queue.Dropped(), pushed + 3);
}

TEST(OutputQueue, TakesAtMostTheBlockAskedFor) {
    sim::TOutputQueue queue;
    queue.Push(0, {1, 2, 3});
    queue.Push(10, {4, 5, 6, 7});
    EXPECT_EQ(queue.TakeDue(20, 2), (TBytes{1, 2}));
    EXPECT_EQ(queue.Queued(), 5u);
    EXPECT_EQ(queue.NextDueUs(), 0);
    EXPECT_EQ(queue.TakeDue(20, 4), (TBytes{3, 4, 5, 6}));
    EXPECT_EQ(queue.TakeDue(20, 4), (TBytes{7}));
    EXPECT_TRUE(queue.Empty());
}
