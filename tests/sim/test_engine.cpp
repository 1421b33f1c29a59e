// The protocol engine and the controller's commands: bytes in, bytes out.
#include <gtest/gtest.h>

#include "sim/CommandTable.h"
#include "tests/sim/EngineBench.h"

namespace {

using sim::DefaultParams;

struct TEngineCase {
    const char* Name;
    TBytes In;
    TBytes Out;
};

// A fresh controller after reset (bank 0 = factory defaults, mode 0, all at 0).
const std::vector<TEngineCase> EngineCases = {
    {"probe", {0xFF}, {'X'}},
    {"identify", {'I', 0}, Cat({Text(std::string(sim::IdentText)), {'+'}})},
    {"set mode 2 then read it", {'M', 1, 2, 'm', 0}, {'+', 2, '+'}},
    {"set mode 3 then read it", {'M', 1, 3, 'm', 0}, {'+', 3, '+'}},
    {"mode 4 refused, mode kept", {'M', 1, 4, 'm', 0}, {'-', 0, '+'}},
    {"target at reset", {'z', 0}, {0, 0, 0, '+'}},
    {"position at reset", {'p', 0}, {0, 0, 0, '+'}},
    {"set target -1", {'P', 3, 0xFF, 0xFF, 0xFF, 'z', 0}, {'+', 0xFF, 0xFF, 0xFF, '+'}},
    {"set target -2^23", {'P', 3, 0, 0, 0x80, 'z', 0}, {'+', 0, 0, 0x80, '+'}},
    {"set target 2^23-1", {'P', 3, 0xFF, 0xFF, 0x7F, 'z', 0}, {'+', 0xFF, 0xFF, 0x7F, '+'}},
    {"sample at reset", {'V', 0}, {0, 0, 0, 0, 0, 0, '+'}},
    {"read param 0", {'R', 1, 0}, {uint8_t(DefaultParams[0]), uint8_t(DefaultParams[0] >> 8), '+'}},
    {"read param 1 (Kf 1.0)", {'R', 1, 1}, {0x00, 0x01, '+'}},
    {"read param 5", {'R', 1, 5}, {uint8_t(DefaultParams[5]), uint8_t(DefaultParams[5] >> 8), '+'}},
    {"read param 6 refused in place", {'R', 1, 6}, {0, 0, '-'}},
    {"write then read", {'W', 3, 2, 0x80, 0x01, 'R', 1, 2}, {'+', 0x80, 0x01, '+'}},
    {"write index 6 refused", {'W', 3, 6, 1, 2}, {'-'}},
    {"drive -256", {'B', 2, 0x00, 0xFF}, {'+'}},
    {"save bank 4", {'S', 1, 4}, {'+'}},
    {"save bank 5 refused", {'S', 1, 5}, {'-'}},
    {"load bank 0", {'L', 1, 0}, {'+'}},
    {"load bank 5 refused", {'L', 1, 5}, {'-'}},
    {"unknown code swallows its payload", {'Q', 2, 0xFF, 'X', 0xFF}, {'-', 'X'}},
    {"unknown code without payload", {'a', 0, 'm', 0}, {'-', 0, '+'}},
    {"known code with a short length", {'M', 0, 'm', 0}, {'-', 0, '+'}},
    {"wrong length keeps the reply's place", {'p', 1, 7}, {0, 0, 0, '-'}},
    {"length above 32 ends the frame", {'W', 200, 0xFF}, {'-', 'X'}},
    {"0xFF inside a payload is data", {'B', 2, 0xFF, 0xFF, 0xFF}, {'+', 'X'}},
    {"several frames in one read", {0xFF, 'm', 0, 0xFF, 'M', 1, 1}, {'X', 0, '+', 'X', '+'}},
};

class EngineTable : public testing::TestWithParam<TEngineCase> {};

TEST_P(EngineTable, RepliesAsExpected) {
    TEngineBench bench;
    EXPECT_EQ(bench.Run(GetParam().In), GetParam().Out);
}

INSTANTIATE_TEST_SUITE_P(Commands, EngineTable, testing::ValuesIn(EngineCases),
                         [](const auto& test) {
                             std::string name = test.param.Name;
                             for (char& c : name)
                                 if (!isalnum(uint8_t(c))) c = '_';
                             return name;
                         });

TEST(Engine, IdentificationFitsTheConsolesReplyBuffer) {
    EXPECT_LT(sim::IdentText.size() + 1, 32u);  // text and status, NUL after it
    EXPECT_EQ(sim::IdentText.find_first_of(std::string("+-\0", 3)), std::string::npos);
}

// The whole table as one stream, cut into pieces of every size: the replies
// must not depend on how the bytes were split.
TEST(Engine, SplitFramesGiveTheSameReplies) {
    TBytes stream, expected;
    for (const TEngineCase& c : EngineCases) {
        stream.insert(stream.end(), c.In.begin(), c.In.end());
        expected.insert(expected.end(), c.Out.begin(), c.Out.end());
    }
    // Row order makes some replies differ from a fresh controller's; take the
    // unsplit stream as the reference and check that it matches the table.
    TEngineBench whole;
    const TBytes reference = whole.Run(stream);
    ASSERT_EQ(reference.size(), expected.size());
    for (size_t piece = 1; piece <= 7; ++piece) {
        TEngineBench bench;
        TBytes out;
        for (size_t at = 0; at < stream.size(); at += piece) {
            TBytes part(stream.begin() + long(at),
                        stream.begin() + long(std::min(stream.size(), at + piece)));
            TBytes got = bench.Run(part);
            out.insert(out.end(), got.begin(), got.end());
        }
        EXPECT_EQ(out, reference) << "pieces of " << piece;
    }
}

TEST(Engine, BanksKeepWhatWasSaved) {
    TEngineBench bench;
    EXPECT_EQ(bench.Run({'R', 1, 2}), (TBytes{0x00, 0x01, '+'}));  // bank 0 loaded at reset
    bench.Run({'W', 3, 2, 0x00, 0x03, 'S', 1, 3});                  // Kp 3.0 into bank 3
    bench.Run({'W', 3, 2, 0x00, 0x05});                              // working set changed
    EXPECT_EQ(bench.Run({'R', 1, 2}), (TBytes{0x00, 0x05, '+'}));
    EXPECT_EQ(bench.Run({'L', 1, 3, 'R', 1, 2}), (TBytes{'+', 0x00, 0x03, '+'}));
    EXPECT_EQ(bench.Run({'L', 1, 0, 'R', 1, 2}), (TBytes{'+', 0x00, 0x01, '+'}));
    EXPECT_EQ(bench.Controller.State().Banks[3][2], 0x0300);
    EXPECT_EQ(bench.Controller.State().Banks[4][2], 0x0100);
}

TEST(Engine, RefusedCommandsAreNotExecuted) {
    TEngineBench bench;
    bench.Faults.RefuseCodes = "Wp";
    EXPECT_EQ(bench.Run({'W', 3, 0, 9, 9}), (TBytes{'-'}));
    EXPECT_EQ(bench.Run({'p', 0}), (TBytes{0, 0, 0, '-'}));
    EXPECT_EQ(bench.Controller.State().Params[0], DefaultParams[0]);
    EXPECT_EQ(bench.Run({'m', 0, 0xFF}), (TBytes{0, '+', 'X'}));
    bench.Faults = {};
    bench.Faults.RefuseAll = true;
    EXPECT_EQ(bench.Run({'V', 0, 'I', 0, 'M', 1, 3, 0xFF}), (TBytes{0, 0, 0, 0, 0, 0, '-', '-', '-', 'X'}));
    EXPECT_EQ(bench.Controller.State().Mode, sim::smPwm);
}

TEST(Engine, ProbeFaults) {
    TEngineBench bench;
    bench.Faults.ProbeTwoBytes = true;
    EXPECT_EQ(bench.Run({0xFF}), (TBytes{'X', 'X'}));
    bench.Faults.NeverAnswerProbe = true;
    EXPECT_EQ(bench.Run({0xFF, 0xFF, 'm', 0}), (TBytes{0, '+'}));
}

TEST(Engine, SettingAModeStopsAndHoldsPosition) {
    TEngineBench bench;
    bench.Run({'M', 1, 0, 'B', 2, 100, 0});
    bench.Clock.AdvanceMs(500);
    const int32_t moved = bench.Position();
    ASSERT_GT(moved, 1000);
    EXPECT_EQ(bench.Run({'M', 1, 3}), (TBytes{'+'}));
    EXPECT_EQ(bench.Controller.State().Drive, 0);
    EXPECT_EQ(bench.Controller.State().Target, moved);
}

}  // namespace
