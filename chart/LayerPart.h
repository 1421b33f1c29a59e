// Repaints part of a chart layer that has a paint buffer of its own: the
// part is cleared in that buffer and every visible layerable of the layer is
// drawn again, clipped to the part, in the layer's order, so the part ends
// as a repaint of the whole layer would leave it while the rest of the
// buffer stays as drawn. The window then repaints that part alone. Main
// thread only.
#pragma once

#include <QRect>

class QCPLayer;

namespace layerpart {

// False, with nothing drawn, when the layer has no usable buffer of its own
// (not buffered, or the chart's buffers are due to be rebuilt): the caller
// repaints the whole layer then.
bool Repaint(QCPLayer* layer, const QRect& part);

}  // namespace layerpart
