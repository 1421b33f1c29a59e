// A captioned group of radio items with one selected index (-1: none).
// Click fires only when the user moves the selection to another item, and
// only while attached; a program change of the index never fires it.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

    int ItemIndex() const { return FItemIndex; }
    // -1 clears the selection; an index past the last item selects the last.
    void SetItemIndex(int index);
    int Count() const { return int(FButtons.size()); }
    // Empty for an index that has no item.
    QString ItemText(int index) const;
    QRadioButton* Item(int index) const;

    // Detaching stops Click from firing until it is attached again.
    void SetClickAttached(bool attached) { FClickAttached = attached; }

signals:
    void Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ArrangeItems();
    void ItemClicked(int index);

    std::vector<QRadioButton*> FButtons;
    QButtonGroup* FGroup;
    int FItemIndex = -1;
    bool FClickAttached = true;
};
