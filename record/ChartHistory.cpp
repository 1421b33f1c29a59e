#include "record/ChartHistory.h"

#include <cmath>

void TChartHistory::Add(double key, double value) {
    FKeysInOrder = FKeysInOrder && std::isfinite(key) && (Count() == 0 || key >= Key(Count() - 1));
    FKeys.Push(key);
    FValues.Push(value);
}

void TChartHistory::RemoveFirst() {
    if (Count() == 0) return;
    FKeys.PopFront();
    FValues.PopFront();
    // Empty again: the blocks start afresh, aligned to the next point.
    if (Count() == 0) Clear();
}

void TChartHistory::Clear() {
    FKeys.Clear();
    FValues.Clear();
    FKeysInOrder = true;
}
