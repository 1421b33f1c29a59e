// One series of the live chart: every point of its history, oldest first,
// kept compactly (about 9 bytes a point: see TSampleKeys and TValuePyramid),
// with the lowest and highest value of any part at hand in a few dozen reads,
// so the chart can draw each pixel column's true extent whatever the length.
// Points enter at the back and leave at the front in constant time. Keys must
// be finite and must not decrease. Main thread only.
#pragma once

#include <optional>

#include "record/SampleKeys.h"
#include "record/ValuePyramid.h"

class TChartHistory {
public:
    int Count() const { return int(FKeys.Count()); }
    double Key(int i) const { return FKeys.At(i); }
    double Value(int i) const { return FValues.At(i); }

    void Add(double key, double value);
    // Every key added since the history was last empty kept the rule above
    // (what those that cut the history by key rely on).
    bool KeysInOrder() const { return FKeysInOrder; }
    // Drops the oldest point; nothing when empty.
    void RemoveFirst();
    void Clear();

    // The first point whose key is not below key (Count() when none).
    int LowerIndex(double key) const { return int(FKeys.LowerIndex(key)); }
    // The same, fast when guess is near the answer.
    int LowerIndex(double key, int guess) const { return int(FKeys.LowerIndex(key, guess)); }
    // Lowest and highest value of the points [from, to); none when empty.
    std::optional<TValueRange> Extremes(int from, int to) const { return FValues.Extremes(from, to); }
    std::optional<TValueRange> Extremes() const { return FValues.Extremes(0, Count()); }

private:
    TSampleKeys FKeys;
    TValuePyramid FValues;
    bool FKeysInOrder = true;
};
