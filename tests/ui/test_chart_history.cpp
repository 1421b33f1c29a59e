// A series' history: points leave at the front and arrive at the back, keys
// come back exactly, and the extremes of any part are those of its points,
// checked against a plain copy of the window over long random runs.
#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "record/ChartHistory.h"

namespace {

struct TPoint {
    double key;
    float value;  // what the history keeps
};

// The history against a plain copy, after each step of a sliding window.
class THistoryCheck {
public:
    void Add(double key, double value) {
        History.Add(key, value);
        Copy.push_back({key, float(value)});
    }
    void RemoveFirst() {
        History.RemoveFirst();
        if (!Copy.empty()) Copy.pop_front();
    }
    // Every point, and the extremes of a few parts chosen at random.
    void Check(std::mt19937& random, const char* when) {
        ASSERT_EQ(History.Count(), int(Copy.size())) << when;
        for (int i = 0; i < History.Count(); ++i) {
            ASSERT_EQ(History.Key(i), Copy[size_t(i)].key) << when << " point " << i;
            ASSERT_EQ(History.Value(i), double(Copy[size_t(i)].value)) << when << " point " << i;
        }
        const int n = History.Count();
        std::uniform_int_distribution<int> place(0, n);
        for (int q = 0; q < 40; ++q) {
            int from = place(random), to = place(random);
            if (from > to) std::swap(from, to);
            ExpectExtremes(from, to, when);
        }
        ExpectExtremes(0, n, when);
    }
    void ExpectExtremes(int from, int to, const char* when) {
        const auto range = History.Extremes(from, to);
        if (from >= to) {
            EXPECT_FALSE(range) << when;
            return;
        }
        ASSERT_TRUE(range) << when;
        const auto [lo, hi] = std::minmax_element(Copy.begin() + from, Copy.begin() + to,
                                                  [](const TPoint& a, const TPoint& b) { return a.value < b.value; });
        ASSERT_EQ(range->min, double(lo->value)) << when << " [" << from << ", " << to << ")";
        ASSERT_EQ(range->max, double(hi->value)) << when << " [" << from << ", " << to << ")";
    }

    TChartHistory History;
    std::deque<TPoint> Copy;
};

TEST(TChartHistory, SlidingWindowsKeepTheirPointsAndExtremes) {
    struct TCase {
        int depth, ticks, every;
    };
    const TCase cases[] = {
        {1, 50, 1},            // one point held
        {17, 600, 13},         // across the first run boundaries
        {300, 5000, 211},      // runs of 16 and 256 trimmed and refilled
        {70'000, 200'000, 49'999},  // every level of runs in use
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.depth);
        std::mt19937 random(uint32_t(c.depth));
        std::normal_distribution<double> step(0.0, 1.0);
        THistoryCheck h;
        double value = 0;
        for (int t = 0; t < c.ticks; ++t) {
            value += step(random);
            h.Add(t * 5.0, value);
            if (h.History.Count() > c.depth) h.RemoveFirst();
            if (t % c.every == 0 || t == c.ticks - 1) h.Check(random, "sliding");
        }
    }
}

// Integer values as the controller gives them: many ties; a history trimmed
// to nothing starts afresh; keys that repeat stay in order.
TEST(TChartHistory, TiesEmptyingAndRepeatedKeys) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-40, 40);
    THistoryCheck h;
    for (int t = 0; t < 3000; ++t) h.Add(t / 3, value(random));
    h.Check(random, "ties");
    EXPECT_EQ(h.History.LowerIndex(10), 30);
    EXPECT_EQ(h.History.LowerIndex(9.5), 30);
    EXPECT_EQ(h.History.LowerIndex(-1), 0);
    EXPECT_EQ(h.History.LowerIndex(1e9), 3000);
    for (int t = 0; t < 2999; ++t) h.RemoveFirst();
    h.Check(random, "one left");
    h.RemoveFirst();
    h.RemoveFirst();  // nothing left to drop
    h.Check(random, "empty");
    EXPECT_FALSE(h.History.Extremes());
    for (int t = 0; t < 100; ++t) h.Add(5000 + t, -t);
    h.Check(random, "refilled");
    h.History.Clear();
    h.Copy.clear();
    h.Add(1, 2);
    h.Check(random, "cleared");
}

// Keys as the chart gets them: whole milliseconds, far from zero, with the
// widest gap a 16-bit tick counter at 5 ms a tick can give.
TEST(TChartHistory, MillisecondKeysComeBackExactly) {
    TChartHistory h;
    std::vector<double> keys;
    double key = 4'294'967'290.0 - 70 * 327'675.0;
    for (int t = 0; t < 570; ++t) {
        keys.push_back(key);
        h.Add(key, t);
        key += t < 70 ? 327'675.0 : 5.0 * (1 + t % 4);
    }
    for (int i = 0; i < h.Count(); ++i) {
        ASSERT_EQ(h.Key(i), keys[size_t(i)]) << i;
        ASSERT_EQ(h.LowerIndex(keys[size_t(i)]), i);
        ASSERT_EQ(h.LowerIndex(keys[size_t(i)] - 0.5, i / 2), i);  // searched from a guess
    }
}

}  // namespace

TEST(TChartHistory, TellsWhetherItsKeysKeptTheirOrder) {
    struct TCase {
        const char* name;
        std::vector<double> keys;
        bool inOrder;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const TCase cases[] = {
        {"none", {}, true},
        {"rising, a key twice", {1, 2, 2, 3}, true},
        {"one step back", {1, 3, 2}, false},
        {"not a number", {1, nan, 2}, false},
        {"not finite", {1, inf}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TChartHistory history;
        for (double key : c.keys) history.Add(key, 0);
        EXPECT_EQ(history.KeysInOrder(), c.inOrder);
        const TChartHistory copy = history;
        EXPECT_EQ(copy.KeysInOrder(), c.inOrder);
        history.Clear();
        history.Add(-5, 0);
        EXPECT_TRUE(history.KeysInOrder()) << "emptied, it starts afresh";
    }
}
