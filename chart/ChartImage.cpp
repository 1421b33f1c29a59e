#include "chart/ChartImage.h"

#include <QFileInfo>
#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <qcustomplot.h>

#include "chart/ChartCursor.h"

namespace chartimage {

namespace {

// The cursor's readout belongs to the screen, not to the picture.
class TCursorHidden {
public:
    explicit TCursorHidden(QCustomPlot& chart) : FLayer(chart.layer(TChartCursor::LayerName)) {
        if (FLayer) {
            FWasVisible = FLayer->visible();
            FLayer->setVisible(false);
        }
    }
    ~TCursorHidden() {
        if (FLayer) FLayer->setVisible(FWasVisible);
    }
    TCursorHidden(const TCursorHidden&) = delete;
    TCursorHidden& operator=(const TCursorHidden&) = delete;

private:
    QCPLayer* FLayer;
    bool FWasVisible = false;
};

}  // namespace

std::optional<EFormat> FormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png")) return EFormat::Png;
    if (suffix == QLatin1String("pdf")) return EFormat::Pdf;
    if (suffix == QLatin1String("svg")) return EFormat::Svg;
    return std::nullopt;
}

QImage Render(QCustomPlot& chart, int scale) {
    const TCursorHidden hidden(chart);
    return chart.toPixmap(0, 0, double(scale)).toImage();
}

// Drawing commands as for a vector device: no pixel-grid nudges, text as text.
QPicture Record(QCustomPlot& chart) {
    const TCursorHidden hidden(chart);
    QPicture picture;
    QCPPainter painter(&picture);
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    chart.toPainter(&painter, chart.width(), chart.height());
    painter.end();
    return picture;
}

}  // namespace chartimage

using chartimage::EFormat;

namespace {

// One chart pixel is one PDF pixel at 96 dpi, and the page is the chart.
bool WritePdf(const QPicture& picture, QSize size, QIODevice& out) {
    QPdfWriter pdf(&out);
    pdf.setCreator(QStringLiteral("servo-console"));
    pdf.setResolution(96);
    const QSizeF points = QSizeF(size) * 72.0 / 96.0;
    pdf.setPageLayout(QPageLayout(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch),
                                  QPageLayout::Portrait, QMarginsF()));
    QPainter painter;
    if (!painter.begin(&pdf)) return false;
    painter.drawPicture(0, 0, picture);
    return painter.end();
}

bool WriteSvg(const QPicture& picture, QSize size, QIODevice& out) {
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(96);
    svg.setTitle(QStringLiteral("servo-console"));
    QPainter painter;
    if (!painter.begin(&svg)) return false;
    painter.drawPicture(0, 0, picture);
    return painter.end();
}

}  // namespace

TChartPicture::TChartPicture(QCustomPlot& chart)
    : FSize(chart.size()),
      FSingle(chartimage::Render(chart, 1)),
      FDouble(chartimage::Render(chart, 2)),
      FVector(chartimage::Record(chart)) {}

TFileSaveJob::TWriter TChartPicture::Writer(EFormat format, int scale) const {
    // Copies: the writer may outlive this picture and run on another thread.
    switch (format) {
    case EFormat::Png:
        return [image = Raster(scale)](QIODevice& out) { return image.save(&out, "PNG"); };
    case EFormat::Pdf:
        return [picture = FVector, size = FSize](QIODevice& out) { return WritePdf(picture, size, out); };
    case EFormat::Svg:
        return [picture = FVector, size = FSize](QIODevice& out) { return WriteSvg(picture, size, out); };
    }
    return {};
}
