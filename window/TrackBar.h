// A horizontal track bar whose Change fires on every scroll notification of
// user input (each step of a drag, each page or line step, and once more when
// a drag, click or key press ends) and when the program moves it to another
// position; setting the position it already has fires nothing.
#pragma once

#include <QSlider>

class TTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TTrackBar(QWidget* parent);

    // The position as the user sees it, also while a notification is running.
    int Position() const { return sliderPosition(); }
    // Clamped to the range; fires Change only when the position moves.
    void SetPosition(int position);

signals:
    void Change();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    bool FTracking = false;  // a mouse press of ours is under way
};
