#include "SlidingExtremes.h"

void TSlidingExtremes::Push(double value) {
    while (!FMin.empty() && FMin.back().value >= value) FMin.pop_back();
    while (!FMax.empty() && FMax.back().value <= value) FMax.pop_back();
    FMin.push_back({FBack, value});
    FMax.push_back({FBack, value});
    ++FBack;
}

void TSlidingExtremes::PopFront() {
    if (Count() == 0) return;
    if (FMin.front().index == FFront) FMin.pop_front();
    if (FMax.front().index == FFront) FMax.pop_front();
    ++FFront;
}

void TSlidingExtremes::Clear() {
    FMin.clear();
    FMax.clear();
    FFront = FBack = 0;
}

std::optional<TSlidingExtremes::TRange> TSlidingExtremes::Range() const {
    if (Count() == 0) return std::nullopt;
    return TRange{FMin.front().value, FMax.front().value};
}

std::optional<TSlidingExtremes::TPlaces> TSlidingExtremes::Places() const {
    if (Count() == 0) return std::nullopt;
    return TPlaces{FMin.front().index - FFront, FMax.front().index - FFront};
}
