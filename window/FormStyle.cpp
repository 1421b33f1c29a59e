#include "window/FormStyle.h"

#include <QApplication>
#include <QPainter>
#include <qdrawutil.h>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QWidget>

namespace {

// A group box whose caption sits on its frame line.
const QStyleOptionGroupBox* CaptionedBox(QStyle::ComplexControl control,
                                         const QStyleOptionComplex* option) {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != QStyle::CC_GroupBox || !box || box->text.isEmpty() ||
        (box->features & QStyleOptionFrame::Flat))
        return nullptr;
    return box;
}

}  // namespace

TFormStyle::TFormStyle(QObject* parent)
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {
    setParent(parent);
}

void TFormStyle::ApplyTo(QWidget* widget) {
    widget->setStyle(this);
    for (QWidget* inner : widget->findChildren<QWidget*>()) inner->setStyle(this);
}

int TFormStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* returnData) const {
    if (hint == SH_ToolTip_WakeUpDelay) return HintShowDelayMs;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int TFormStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                            const QWidget* widget) const {
    if (metric == PM_SliderLength) return SliderThumbLength;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QRect TFormStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                 SubControl subControl, const QWidget* widget) const {
    QRect rect = QProxyStyle::subControlRect(control, option, subControl, widget);
    if (subControl == SC_GroupBoxContents && CaptionedBox(control, option)) {
        const QRect caption = QProxyStyle::subControlRect(control, option, SC_GroupBoxLabel, widget);
        rect.setTop(caption.bottom() + 1);
    }
    return rect;
}

void TFormStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                    QPainter* painter, const QWidget* widget) const {
    const QStyleOptionGroupBox* box = CaptionedBox(control, option);
    if (!box) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const QRect caption = subControlRect(control, option, SC_GroupBoxLabel, widget);
    if (box->subControls & SC_GroupBoxFrame) {
        // An etched line drawn here: the base style's own frame keeps clear of the caption.
        painter->save();
        painter->setClipRegion(QRegion(box->rect) - caption.adjusted(-2, 0, 2, 0));
        qDrawShadeRect(painter, box->rect.adjusted(0, caption.center().y(), 0, 0), box->palette,
                       true, 1, 0);
        painter->restore();
    }
    QStyleOptionGroupBox rest(*box);
    rest.subControls &= ~SC_GroupBoxFrame;
    QProxyStyle::drawComplexControl(control, &rest, painter, widget);
}
