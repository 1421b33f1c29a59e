// One series of the live chart: every point of its history, oldest first, and
// the points the chart draws for it. Up to ExactLimit points the drawn points
// are the history itself; above, the history is cut into buckets of
// consecutive samples (aligned to the samples' running numbers) and each
// bucket is drawn as its first, lowest, highest and last point, so the line's
// envelope stays exact while the chart draws a bounded number of points.
// Adding and trimming keep the drawn points up to date in amortised constant
// time. Keys must be finite and must not decrease. Main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include <QSharedPointer>
#include <qcustomplot.h>

#include "SlidingExtremes.h"

class TChartHistory {
public:
    // Histories up to this many points (and one more, as a tick adds before
    // it trims) are drawn point by point.
    static constexpr int ExactLimit = 2000;
    // Reduced views hold at most this many buckets (four points each).
    static constexpr int MaxBuckets = 128;

    TChartHistory();

    // The drawn points; the same container for the life of the history.
    QSharedPointer<QCPGraphDataContainer> View() const { return FView; }
    int Count() const { return int(FPoints.size()); }
    // Point i of the history, 0 the oldest.
    const QCPGraphData& At(int i) const { return FPoints[size_t(i)]; }
    // Samples per bucket of the drawn points; 1 when drawn point by point.
    int64_t BucketSize() const { return FBucketSize; }

    void Add(double key, double value);
    // Drops the oldest point; nothing when empty.
    void RemoveFirst();
    void Clear();
    // Takes the points as the whole history.
    void Assign(const QVector<QCPGraphData>& points);

    // The first point whose key is not below key (Count() when none).
    int LowerIndex(double key) const;
    // The points [from, to) as they are when at most ExactLimit, reduced
    // into buckets otherwise (bucket size chosen as for the whole history).
    QVector<QCPGraphData> Reduced(int from, int to) const;

private:
    int64_t Back() const { return FFront + int64_t(FPoints.size()); }
    const QCPGraphData& Abs(int64_t index) const { return FPoints[size_t(index - FFront)]; }
    int64_t BucketStart(int64_t index) const { return index / FBucketSize * FBucketSize; }

    // The first, lowest, highest and last of a bucket, in key order, each once.
    int Representatives(int64_t first, int64_t last, int64_t min, int64_t max,
                        QCPGraphData* out) const;
    void RefreshTail();
    void RefreshHead();
    void Regroup(int64_t exactUpTo);
    bool NeedsRegroup() const;
    void AppendReduced(int64_t from, int64_t to, int64_t bucketSize, QVector<QCPGraphData>& out,
                       std::deque<uint8_t>* shown) const;
    void ReplaceFront(int oldShown, const QCPGraphData* points, int count);
    void ReplaceBack(int oldShown, const QCPGraphData* points, int count);

    QSharedPointer<QCPGraphDataContainer> FView;
    std::deque<QCPGraphData> FPoints;
    int64_t FFront = 0;            // running number of the oldest point
    int64_t FBucketSize = 1;
    std::deque<uint8_t> FShown;    // points drawn per bucket, oldest bucket first
    int64_t FTailMin = 0;          // lowest and highest point of the newest bucket
    int64_t FTailMax = 0;
    TSlidingExtremes FHead;        // the oldest bucket once trimming has reached it
    bool FHeadLive = false;
};
