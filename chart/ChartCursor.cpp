#include "chart/ChartCursor.h"

#include <cmath>

#include <algorithm>

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <qcustomplot.h>

#include "chart/SeriesGraph.h"
#include "record/ChartUnits.h"

namespace {

constexpr int LabelGap = 6;      // between the line and the label
constexpr int LabelPadding = 4;  // inside the label's frame

}  // namespace

// Draws the line and the label the cursor holds.
class TChartCursor::TMark : public QCPLayerable {
public:
    TMark(QCustomPlot* chart, const TChartCursor& cursor)
        : QCPLayerable(chart, QString::fromLatin1(LayerName)), FCursor(cursor) {
        setVisible(false);
    }

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override {
        painter->setAntialiasing(false);
    }
    QRect clipRect() const override { return mParentPlot->axisRect()->rect(); }
    void draw(QCPPainter* painter) override;

private:
    const TChartCursor& FCursor;
};

void TChartCursor::TMark::draw(QCPPainter* painter) {
    const QRect plot = mParentPlot->axisRect()->rect();
    const int x = FCursor.FPixelX;
    painter->setPen(QPen(QColor(64, 64, 64), 1, Qt::DashLine));
    painter->drawLine(QLineF(x, plot.top(), x, plot.bottom()));

    const std::vector<TLine> lines = FCursor.Lines();
    painter->setFont(mParentPlot->font());
    const QFontMetrics metrics(painter->font());
    int width = 0;
    for (const TLine& line : lines) width = std::max(width, metrics.horizontalAdvance(line.text));
    const QSize size(width + 2 * LabelPadding, int(lines.size()) * metrics.height() + 2 * LabelPadding);
    // Right of the line, or left of it where the plot ends.
    int left = x + LabelGap;
    if (left + size.width() > plot.right()) left = x - LabelGap - size.width();
    const QRect box(QPoint(left, plot.top() + LabelGap), size);
    painter->setPen(QPen(QColor(128, 128, 128), 1));
    painter->setBrush(QColor(255, 255, 255, 230));
    painter->drawRect(box);
    int y = box.top() + LabelPadding;
    for (const TLine& line : lines) {
        painter->setPen(line.color);
        painter->drawText(QRect(box.left() + LabelPadding, y, width, metrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, line.text);
        y += metrics.height();
    }
}

TChartCursor::TChartCursor(QCustomPlot* chart, std::vector<TSeriesGraph*> series, TAllowed allowed)
    : QObject(chart), FChart(chart), FSeries(std::move(series)), FAllowed(std::move(allowed)),
      FValues(FSeries.size()) {
    // On top of everything; it shares the buffer below it until it shows.
    FChart->addLayer(QString::fromLatin1(LayerName), FChart->layer(FChart->layerCount() - 1),
                     QCustomPlot::limAbove);
    FLayer = FChart->layer(QString::fromLatin1(LayerName));
    FLayer->setMode(QCPLayer::lmLogical);
    FMark = new TMark(FChart, *this);
    FChart->setMouseTracking(true);
    FChart->installEventFilter(this);
    // Zooming and panning move the time under the mouse; the redraw they
    // cause draws the new reading.
    connect(FChart->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
        if (Shown()) Read();
    });
    // A measurement started under the mouse.
    connect(FChart, &QCustomPlot::beforeReplot, this, [this] {
        if (!FAllowed()) Drop();
    });
}

std::optional<double> TChartCursor::ValueAt(const TChartHistory& history, double time) {
    const int count = history.Count();
    if (count == 0 || !(time >= history.Key(0)) || time > history.Key(count - 1)) return std::nullopt;
    const int i = history.LowerIndex(time);
    const double k1 = history.Key(i);
    if (k1 == time) return history.Value(i);
    const double k0 = history.Key(i - 1);
    const double v0 = history.Value(i - 1);
    return v0 + (history.Value(i) - v0) * (time - k0) / (k1 - k0);
}

bool TChartCursor::Shown() const { return FMark->visible(); }

bool TChartCursor::Empty() const {
    return std::all_of(FSeries.begin(), FSeries.end(),
                       [](const TSeriesGraph* series) { return series->History().Count() == 0; });
}

std::vector<TChartCursor::TLine> TChartCursor::Lines() const {
    std::vector<TLine> lines;
    lines.push_back({QString::fromUtf8("%1 мсек").arg(FTime, 0, 'f', 1), QColor(Qt::black)});
    for (size_t i = 0; i < FSeries.size(); ++i) {
        if (!FValues[i]) continue;
        const QString unit = chartunits::SeriesUnit(*FSeries[i]);
        lines.push_back({QStringLiteral("%1 %2").arg(*FValues[i], 0, 'g', 6).arg(unit).trimmed(),
                         FSeries[i]->pen().color()});
    }
    return lines;
}

bool TChartCursor::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FChart) return false;
    switch (event->type()) {
    case QEvent::MouseMove: Follow(*static_cast<QMouseEvent*>(event)); break;
    case QEvent::MouseButtonRelease:
        // The end of a drag: from now on the moves redraw the cursor alone.
        if (Shown()) FLayer->replot();
        break;
    // The menu takes the mouse without a leave: the cursor would stay drawn
    // at a time nobody points at any more.
    case QEvent::ContextMenu:
    case QEvent::Leave: Hide(); break;
    case QEvent::EnabledChange:
        if (!FChart->isEnabled()) Hide();  // disconnected: the chart takes no mouse any more
        break;
    default: break;
    }
    return false;
}

void TChartCursor::Follow(const QMouseEvent& event) {
    const QPoint at = event.position().toPoint();
    if (!FAllowed() || !FChart->axisRect()->rect().contains(at) || Empty()) {
        Hide();
        return;
    }
    FPixelX = at.x();
    Read();
    FMark->setVisible(true);
    if (FLayer->mode() != QCPLayer::lmBuffered) FLayer->setMode(QCPLayer::lmBuffered);
    // While a button is held the chart is being dragged, and redraws itself.
    if (event.buttons() == Qt::NoButton) FLayer->replot();
}

bool TChartCursor::ShowAt(double time) {
    if (!FAllowed() || Empty()) return false;
    const QCPRange range = FChart->xAxis->range();
    if (!range.contains(time)) {
        FChart->xAxis->setRange(time - range.size() / 2, time + range.size() / 2);
        FChart->replot();
    }
    FPixelX = int(std::lround(FChart->xAxis->coordToPixel(time)));
    Read();
    FMark->setVisible(true);
    if (FLayer->mode() != QCPLayer::lmBuffered) FLayer->setMode(QCPLayer::lmBuffered);
    FLayer->replot();
    return true;
}

void TChartCursor::Read() {
    FTime = FChart->xAxis->pixelToCoord(FPixelX);
    for (size_t i = 0; i < FSeries.size(); ++i) FValues[i] = ValueAt(FSeries[i]->History(), FTime);
}

void TChartCursor::Hide() {
    if (!Shown()) return;
    FMark->setVisible(false);
    FLayer->replot();
}

// Called at the start of a redraw of the whole chart, which leaves the
// cursor out and gives its layer no buffer.
void TChartCursor::Drop() {
    FMark->setVisible(false);
    if (FLayer->mode() != QCPLayer::lmLogical) FLayer->setMode(QCPLayer::lmLogical);
}
