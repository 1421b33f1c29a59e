#include "window/StatusBar.h"

#include <QPainter>
#include <qdrawutil.h>

namespace {
constexpr int PanelGap = 2;
constexpr int TextIndent = 3;
}  // namespace

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {}

QString TStatusBar::PanelText(int panel) const {
    if (panel < 0 || panel >= PanelCount) return {};
    return FTexts[size_t(panel)];
}

void TStatusBar::SetPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= PanelCount || FTexts[size_t(panel)] == text) return;
    FTexts[size_t(panel)] = text;
    update(PanelRect(panel));
}

QRect TStatusBar::PanelRect(int panel) const {
    const int top = PanelGap;
    const int h = height() - PanelGap;
    if (panel == 0) return QRect(0, top, Panel0Width, h);
    return QRect(Panel0Width + PanelGap, top, width() - Panel0Width - PanelGap, h);
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The texts stay readable while the bar is disabled: they report the link.
    const QPalette pal = palette();
    painter.setPen(pal.color(QPalette::Active, QPalette::WindowText));
    for (int i = 0; i < PanelCount; ++i) {
        const QRect r = PanelRect(i);
        qDrawShadePanel(&painter, r, pal, true, 1);
        const QRect textRect = r.adjusted(TextIndent, 1, -TextIndent, -1);
        const QString text =
            fontMetrics().elidedText(FTexts[size_t(i)], Qt::ElideRight, textRect.width());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}
