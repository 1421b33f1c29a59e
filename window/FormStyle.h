// The main window's style: the application's style with a few changes. A group
// box draws its caption on the frame line (the frame begins at the caption's
// middle, the contents right below the caption), which leaves the small groups
// room for their items; and a tool tip appears after the mouse has rested
// 500 ms on a control. Qt hides a tip after 10 s for texts under 100
// characters, as all hints here are, which is the wanted time. A slider's
// thumb is 15 pixels long.
#pragma once

#include <QProxyStyle>

class QWidget;

class TFormStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int HintShowDelayMs = 500;
    static constexpr int SliderThumbLength = 15;

    // Owned by parent; wraps a fresh instance of the application's style.
    explicit TFormStyle(QObject* parent);

    // Gives the widget and every widget inside it this style.
    void ApplyTo(QWidget* widget);

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
};
