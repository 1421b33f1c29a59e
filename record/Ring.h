// A queue of values that grows at the back and shrinks at the front, kept in
// one block whose size is a power of two, so the i-th value is a mask and an
// add away and any run of values is at most two plain arrays. The chart's
// histories read hundreds of thousands of values per redraw; a std::deque
// spends most of that time finding the block a value lives in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

template <class T>
class TRing {
public:
    size_t size() const { return FCount; }
    bool empty() const { return FCount == 0; }
    const T& operator[](size_t i) const { return FItems[(FHead + i) & FMask]; }
    T& back() { return FItems[(FHead + FCount - 1) & FMask]; }
    const T& back() const { return FItems[(FHead + FCount - 1) & FMask]; }

    void push_back(const T& item) {
        if (FCount == FItems.size()) Grow();
        FItems[(FHead + FCount) & FMask] = item;
        ++FCount;
    }
    void pop_front() {
        if (FCount == 0) return;
        FHead = (FHead + 1) & FMask;
        --FCount;
    }
    // Gives the memory back: a cleared history may be followed by a short one.
    void clear() {
        std::vector<T>().swap(FItems);
        FHead = FCount = 0;
        FMask = 0;
    }

    // Calls visit(const T* first, const T* last) for the items [a, b), in
    // order, as at most two contiguous runs.
    template <class Visit>
    void ForRuns(size_t a, size_t b, Visit&& visit) const {
        if (a >= b) return;
        const size_t start = (FHead + a) & FMask, n = b - a;
        const size_t first = std::min(n, FItems.size() - start);
        visit(FItems.data() + start, FItems.data() + start + first);
        if (first < n) visit(FItems.data(), FItems.data() + (n - first));
    }

private:
    void Grow() {
        std::vector<T> items(std::max<size_t>(16, FItems.size() * 2));
        for (size_t i = 0; i < FCount; ++i) items[i] = (*this)[i];
        FItems = std::move(items);
        FHead = 0;
        FMask = FItems.size() - 1;
    }

    std::vector<T> FItems;
    size_t FHead = 0;
    size_t FCount = 0;
    size_t FMask = 0;
};
