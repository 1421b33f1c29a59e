// The window's status bar: two sunken text panels, the first of a fixed width,
// the second taking the rest. The panels are drawn, not child controls, so the
// bar holds nothing that the enable walks would reach.
#pragma once

#include <array>

#include <QString>
#include <QWidget>

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int PanelCount = 2;
    static constexpr int Panel0Width = 150;
    static constexpr int BarHeight = 19;

    explicit TStatusBar(QWidget* parent);

    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    // Where a panel is drawn, in the bar's coordinates.
    QRect PanelRect(int panel) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<QString, PanelCount> FTexts;
};
