#include "chart/LayerPart.h"

#include <cmath>
#include <cstring>

#include <qcustomplot.h>

namespace layerpart {

namespace {

// What the chart library keeps to itself and its own layer repaint uses:
// reached through pointers to members, which a derived class may name.
struct TPlotAccess : QCustomPlot {
    static bool BuffersInvalid(QCustomPlot* chart) {
        return (chart->*(&TPlotAccess::hasInvalidatedPaintBuffers))();
    }
};

struct TLayerAccess : QCPLayer {
    static QSharedPointer<QCPAbstractPaintBuffer> Buffer(const QCPLayer* layer) {
        return (layer->*(&TLayerAccess::mPaintBuffer)).toStrongRef();
    }
};

struct TLayerableAccess : QCPLayerable {
    static QRect Clip(const QCPLayerable* item) { return (item->*(&TLayerableAccess::clipRect))(); }
    static void Hint(const QCPLayerable* item, QCPPainter* painter) {
        (item->*(&TLayerableAccess::applyDefaultAntialiasingHint))(painter);
    }
    static void Draw(QCPLayerable* item, QCPPainter* painter) {
        (item->*(&TLayerableAccess::draw))(painter);
    }
};

// The rasteriser rounds the coverage of an antialiased stroke a little
// differently near the edge of a clip (a level or so in 255, a few pixels
// in): the part, a strip as tall as the plot, is drawn this much wider on
// either side and only the part itself is kept.
constexpr int Seam = 8;

// As the layer draws itself, each item clipped to its own rectangle (one
// pixel up, as the library does), here also to the area drawn.
void DrawItems(QCPLayer* layer, QCPPainter* painter, const QRect& area) {
    for (QCPLayerable* item : layer->children()) {
        if (!item->realVisibility()) continue;
        painter->save();
        painter->setClipRect(TLayerableAccess::Clip(item).translated(0, -1).intersected(area));
        TLayerableAccess::Hint(item, painter);
        TLayerableAccess::Draw(item, painter);
        painter->restore();
    }
}

// An image the size of the buffer, kept between repaints (main thread only).
QImage& Scratch(const QPaintDevice& buffer) {
    static QImage image;
    const QSize size(buffer.width(), buffer.height());
    if (image.size() != size || image.devicePixelRatio() != buffer.devicePixelRatioF()) {
        image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(buffer.devicePixelRatioF());
    }
    return image;
}

// Makes an area of the image transparent, in whole device pixels that cover
// it; straight into memory, which costs far less than a painter's fill.
void Clear(QImage& image, const QRect& area) {
    const qreal ratio = image.devicePixelRatio();
    const QRect pixels = QRect(QPoint(int(std::floor(area.left() * ratio)), int(std::floor(area.top() * ratio))),
                               QPoint(int(std::ceil((area.right() + 1) * ratio)) - 1,
                                      int(std::ceil((area.bottom() + 1) * ratio)) - 1)) &
                         image.rect();
    if (pixels.isEmpty()) return;
    // bits() once: every scanLine() call would check the image for sharing.
    uchar* row = image.bits() + qsizetype(pixels.top()) * image.bytesPerLine() +
                 qsizetype(pixels.left()) * qsizetype(sizeof(quint32));
    const size_t bytes = size_t(pixels.width()) * sizeof(quint32);
    for (int y = pixels.top(); y <= pixels.bottom(); ++y, row += image.bytesPerLine()) std::memset(row, 0, bytes);
}

// Draws the layer around the part into an image of the buffer's size, then
// puts the part of it in place of the buffer's. The image is placed as the
// buffer is: drawn at another place, a stroke also rounds a little
// differently.
void DrawPart(QCPLayer* layer, QCPPainter* painter, const QRect& part) {
    const QRect around = part.adjusted(-Seam, 0, Seam, 0);
    QImage& image = Scratch(*painter->device());
    Clear(image, around);
    {
        QCPPainter scratch(&image);
        DrawItems(layer, &scratch, around);
    }
    const qreal ratio = image.devicePixelRatio();
    painter->save();
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->drawImage(part, image, QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
    painter->restore();
}

}  // namespace

bool Repaint(QCPLayer* layer, const QRect& part) {
    QCustomPlot* chart = layer->parentPlot();
    if (layer->mode() != QCPLayer::lmBuffered || TPlotAccess::BuffersInvalid(chart)) return false;
    const QSharedPointer<QCPAbstractPaintBuffer> buffer = TLayerAccess::Buffer(layer);
    if (!buffer) return false;
    QCPPainter* painter = buffer->startPainting();
    if (!painter) return false;
    if (painter->isActive()) DrawPart(layer, painter, part);
    delete painter;
    buffer->donePainting();
    chart->update(part);
    return true;
}

}  // namespace layerpart
