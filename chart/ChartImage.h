// Pictures of the chart as the user sees it, without the cursor's readout:
// for the clipboard, and kept from the moment the user asked to be written
// later to a PNG (at the chart's size or twice it), PDF or SVG file.
#pragma once

#include <optional>

#include <QImage>
#include <QPicture>
#include <QSize>
#include <QString>

#include "record/FileSaveJob.h"

class QCustomPlot;

namespace chartimage {

enum class EFormat { Png, Pdf, Svg };

// The format a file name's extension names; none for any other.
std::optional<EFormat> FormatOf(const QString& path);

// The chart drawn now into an image of `scale` times its size. Main thread.
QImage Render(QCustomPlot& chart, int scale);
// The chart drawn now as drawing commands for a vector device. Main thread.
QPicture Record(QCustomPlot& chart);

}  // namespace chartimage

// The chart as it was when made. Made on the main thread; its writer may run
// on any thread (it reads only its own copies).
class TChartPicture {
public:
    explicit TChartPicture(QCustomPlot& chart);

    const QImage& Raster(int scale) const { return scale == 2 ? FDouble : FSingle; }
    // Writes the picture in `format`, PNG at `scale` (1 or 2).
    TFileSaveJob::TWriter Writer(chartimage::EFormat format, int scale) const;

private:
    QSize FSize;
    QImage FSingle;
    QImage FDouble;
    QPicture FVector;  // drawing commands, for PDF and SVG
};
