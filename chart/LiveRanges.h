// Automatic axis ranges that move in steps. A range that fitted the points
// exactly would move with every sample, and with it the axis labels and the
// grid, so every tick of a measurement would redraw the whole chart. These
// ranges end on whole multiples of a grain (1, 2 or 5 times a power of ten,
// a twentieth of the span or a little more) and are kept while they still
// hold the points and are not much wider than needed: between steps a tick
// redraws the series alone. Plain functions; the caller keeps the ranges.
#pragma once

#include <optional>

#include <qcustomplot.h>

namespace liveranges {

// The smallest 1, 2 or 5 times a power of ten not below span / 20; span > 0.
double Grain(double span);

// The key axis over keys first..last (first <= last): the last key lies
// inside, short of the upper end, so the next sample does not step at once.
// A single key gets 1 either side.
// While the history grows (has lost no point at its front) the upper end
// also leaves a quarter of the span free, so that a filling chart steps each
// time it has grown by a quarter rather than by a grain.
QCPRange Keys(const std::optional<QCPRange>& kept, double first, double last, bool growing);

// A value axis over values min..max (min <= max), with at least 5 % of the
// span (or of the value, for a flat line) to spare on each side.
QCPRange Values(const std::optional<QCPRange>& kept, double min, double max);

}  // namespace liveranges
