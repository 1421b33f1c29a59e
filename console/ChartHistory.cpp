#include "ChartHistory.h"

#include <algorithm>
#include <limits>

namespace {

// Samples per bucket for n points: 1 up to exactUpTo, otherwise the smallest
// power of two that leaves room for the buckets to grow twofold before the
// next regrouping.
int64_t BucketSizeFor(int64_t n, int64_t exactUpTo) {
    if (n <= exactUpTo) return 1;
    int64_t size = 2;
    while (n / size + 2 > TChartHistory::MaxBuckets / 2) size *= 2;
    return size;
}

}  // namespace

TChartHistory::TChartHistory() : FView(new QCPGraphDataContainer) {}

int TChartHistory::Representatives(int64_t first, int64_t last, int64_t min, int64_t max,
                                   QCPGraphData* out) const {
    int64_t picks[4] = {first, min, max, last};
    std::sort(picks, picks + 4);
    int64_t* const end = std::unique(picks, picks + 4);
    for (int64_t* p = picks; p != end; ++p) out[p - picks] = Abs(*p);
    return int(end - picks);
}

void TChartHistory::Add(double key, double value) {
    const int64_t index = Back();
    FPoints.emplace_back(key, value);
    if (FShown.empty() || index % FBucketSize == 0) {
        FShown.push_back(0);
        FTailMin = FTailMax = index;
    } else {
        if (value < Abs(FTailMin).value) FTailMin = index;
        if (value > Abs(FTailMax).value) FTailMax = index;
    }
    if (FHeadLive && FShown.size() == 1) FHead.Push(value);
    if (NeedsRegroup()) {
        Regroup(ExactLimit);
        return;
    }
    RefreshTail();
}

void TChartHistory::RemoveFirst() {
    if (FPoints.empty()) return;
    const int64_t headEnd = BucketStart(FFront) + FBucketSize;
    FPoints.pop_front();
    ++FFront;
    if (FPoints.empty()) {
        Clear();
        return;
    }
    if (FFront == headEnd) {
        ReplaceFront(FShown.front(), nullptr, 0);
        FShown.pop_front();
        FHead.Clear();
        FHeadLive = false;
    } else {
        if (FHeadLive) {
            FHead.PopFront();
        } else {
            // First trim into this bucket: its extremes are scanned once, then
            // follow each further trim in constant time.
            const int64_t end = std::min(headEnd, Back());
            for (int64_t i = FFront; i < end; ++i) FHead.Push(Abs(i).value);
            FHeadLive = true;
        }
        RefreshHead();
    }
    if (NeedsRegroup()) Regroup(ExactLimit / 2);
}

void TChartHistory::Clear() {
    FPoints.clear();
    FFront = 0;
    FBucketSize = 1;
    FShown.clear();
    FHead.Clear();
    FHeadLive = false;
    FView->clear();
}

void TChartHistory::Assign(const QVector<QCPGraphData>& points) {
    Clear();
    FPoints.assign(points.constBegin(), points.constEnd());
    if (!FPoints.empty()) Regroup(ExactLimit);
}

int TChartHistory::LowerIndex(double key) const {
    const auto it = std::lower_bound(FPoints.begin(), FPoints.end(), key,
                                     [](const QCPGraphData& p, double k) { return p.key < k; });
    return int(it - FPoints.begin());
}

QVector<QCPGraphData> TChartHistory::Reduced(int from, int to) const {
    QVector<QCPGraphData> out;
    if (from >= to) return out;
    AppendReduced(FFront + from, FFront + to, BucketSizeFor(to - from, ExactLimit), out, nullptr);
    return out;
}

void TChartHistory::RefreshTail() {
    const int64_t back = Back();
    const int64_t start = std::max(BucketStart(back - 1), FFront);
    int64_t min = FTailMin, max = FTailMax;
    if (FHeadLive && FShown.size() == 1) {
        // The newest bucket is also the trimmed oldest one: its extremes may have left.
        const auto places = *FHead.Places();
        min = FFront + places.min;
        max = FFront + places.max;
    }
    QCPGraphData points[4];
    const int count = Representatives(start, back - 1, min, max, points);
    ReplaceBack(FShown.back(), points, count);
    FShown.back() = uint8_t(count);
}

void TChartHistory::RefreshHead() {
    const int64_t end = std::min(BucketStart(FFront) + FBucketSize, Back());
    const auto places = *FHead.Places();
    QCPGraphData points[4];
    const int count =
        Representatives(FFront, end - 1, FFront + places.min, FFront + places.max, points);
    ReplaceFront(FShown.front(), points, count);
    FShown.front() = uint8_t(count);
}

bool TChartHistory::NeedsRegroup() const {
    const auto buckets = int64_t(FShown.size());
    // One point over the limit is the tick's new point before its trim.
    if (FBucketSize == 1) return buckets > ExactLimit + 1;
    // Shrinking back waits for a quarter of the buckets, so a history that
    // stays near a limit does not regroup on every tick.
    return buckets > MaxBuckets || buckets < MaxBuckets / 8 || Count() <= ExactLimit / 2;
}

void TChartHistory::Regroup(int64_t exactUpTo) {
    const int64_t back = Back();
    FBucketSize = BucketSizeFor(back - FFront, exactUpTo);
    FShown.clear();
    FHead.Clear();
    FHeadLive = false;
    QVector<QCPGraphData> points;
    AppendReduced(FFront, back, FBucketSize, points, &FShown);
    FView->set(points, true);
    FTailMin = FTailMax = std::max(BucketStart(back - 1), FFront);
    for (int64_t i = FTailMin + 1; i < back; ++i) {
        if (Abs(i).value < Abs(FTailMin).value) FTailMin = i;
        if (Abs(i).value > Abs(FTailMax).value) FTailMax = i;
    }
}

void TChartHistory::AppendReduced(int64_t from, int64_t to, int64_t bucketSize,
                                  QVector<QCPGraphData>& out, std::deque<uint8_t>* shown) const {
    for (int64_t start = from; start < to;) {
        const int64_t end = std::min(to, (start / bucketSize + 1) * bucketSize);
        int64_t min = start, max = start;
        for (int64_t i = start + 1; i < end; ++i) {
            if (Abs(i).value < Abs(min).value) min = i;
            if (Abs(i).value > Abs(max).value) max = i;
        }
        QCPGraphData points[4];
        const int count = Representatives(start, end - 1, min, max, points);
        for (int i = 0; i < count; ++i) out.append(points[i]);
        if (shown) shown->push_back(uint8_t(count));
        start = end;
    }
}

// The container removes by key only: the points to go get a key below every
// finite one, so exactly they leave, whatever keys their neighbours share.
void TChartHistory::ReplaceFront(int oldShown, const QCPGraphData* points, int count) {
    QCPGraphDataContainer& view = *FView;
    if (oldShown == count) {
        std::copy(points, points + count, view.begin());
        return;
    }
    if (oldShown > 0) {
        for (int i = 0; i < oldShown; ++i) view.begin()[i].key = -std::numeric_limits<double>::infinity();
        view.removeBefore(std::numeric_limits<double>::lowest());
    }
    for (int i = count - 1; i >= 0; --i) view.add(points[i]);
}

void TChartHistory::ReplaceBack(int oldShown, const QCPGraphData* points, int count) {
    QCPGraphDataContainer& view = *FView;
    if (oldShown == count) {
        std::copy(points, points + count, view.end() - count);
        return;
    }
    if (oldShown > 0) {
        for (int i = 1; i <= oldShown; ++i) view.end()[-i].key = std::numeric_limits<double>::infinity();
        view.removeAfter(std::numeric_limits<double>::max());
    }
    for (int i = 0; i < count; ++i) view.add(points[i]);
}
