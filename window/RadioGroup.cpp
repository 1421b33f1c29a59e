#include "window/RadioGroup.h"

#include <algorithm>

#include <QButtonGroup>
#include <QRadioButton>

#include <QEvent>

namespace {
constexpr int ItemLeft = 8;
}  // namespace

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), FGroup(new QButtonGroup(this)) {
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        FGroup->addButton(button, i);
        FButtons.push_back(button);
    }
    FGroup->setExclusive(true);
    connect(FGroup, &QButtonGroup::idClicked, this, &TRadioGroup::ItemClicked);
}

void TRadioGroup::SetItemIndex(int index) {
    if (FButtons.empty()) return;
    if (index < 0) {
        // An exclusive group refuses to uncheck its last checked button.
        FGroup->setExclusive(false);
        for (QRadioButton* button : FButtons) button->setChecked(false);
        FGroup->setExclusive(true);
        FItemIndex = -1;
        return;
    }
    FItemIndex = std::min(index, Count() - 1);
    FButtons[size_t(FItemIndex)]->setChecked(true);
}

QString TRadioGroup::ItemText(int index) const {
    const QRadioButton* button = Item(index);
    return button ? button->text() : QString();
}

QRadioButton* TRadioGroup::Item(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return FButtons[size_t(index)];
}

void TRadioGroup::ItemClicked(int index) {
    if (index == FItemIndex) return;
    FItemIndex = index;
    if (FClickAttached) emit Click();
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    ArrangeItems();
}

void TRadioGroup::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) ArrangeItems();
}

// One column, the items spread evenly over the frame's inside.
void TRadioGroup::ArrangeItems() {
    if (FButtons.empty()) return;
    const QRect inside = contentsRect();
    const int top = inside.top();
    const int step = std::max(1, inside.height() / Count());
    for (int i = 0; i < Count(); ++i) {
        QRadioButton* button = FButtons[size_t(i)];
        const int h = std::min(step, button->sizeHint().height());
        const int w = std::min(button->sizeHint().width(), width() - ItemLeft - 2);
        button->setGeometry(ItemLeft, top + i * step + (step - h) / 2, w, h);
    }
}
