#include "window/TrackBar.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMouseEvent>

namespace {

// The keys the bar itself acts on.
bool IsBarKey(int key) {
    switch (key) {
    case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

}  // namespace

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    // Fired before the value catches up; Position() already reads the new place.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int) { emit Change(); });
}

void TTrackBar::SetPosition(int position) {
    position = std::clamp(position, minimum(), maximum());
    if (position == sliderPosition()) return;
    setValue(position);
    emit Change();
}

void TTrackBar::mousePressEvent(QMouseEvent* event) {
    QSlider::mousePressEvent(event);
    FTracking = event->isAccepted();
}

void TTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (!FTracking || event->buttons() != Qt::NoButton) return;
    FTracking = false;
    emit Change();  // the end of a drag or click, at the final position
}

void TTrackBar::keyReleaseEvent(QKeyEvent* event) {
    QSlider::keyReleaseEvent(event);
    if (IsBarKey(event->key()) && !event->isAutoRepeat()) emit Change();
}
