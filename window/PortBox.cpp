#include "window/PortBox.h"

#include <QAbstractItemView>
#include <QInputDialog>
#include <QPointer>
#include <QSignalBlocker>

#include "window/DefaultReport.h"
#include "window/PortList.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QStringList FixedPorts() { return {"COM1", "COM2", "COM3", "COM4"}; }

}  // namespace

TPortBox::TPortBox(const QString& simulatorEntry, QWidget* parent)
    : QComboBox(parent),
      FSimulatorEntry(simulatorEntry),
      FFinder([] { return portlist::FindSerialDevices(); }) {
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && itemText(index) != U(OtherPortEntry)) FChoice = itemText(index);
    });
    // A long name (a server's address, a by-id path) does not fit the box: the tip shows it whole.
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString& text) { setToolTip(text); });
    // Only a choice the user makes asks for a path, never one set by the program.
    connect(this, &QComboBox::activated, this, [this] { report::RunHandler([this] { ChoiceMade(); }); });
}

void TPortBox::SetDeviceFinder(TDeviceFinder finder) { FFinder = std::move(finder); }

void TPortBox::Refresh() {
    QStringList entries = FixedPorts();
    entries << FFinder() << FTypedPaths << FSimulatorEntry << U(OtherPortEntry);
    entries.removeDuplicates();
    const QString choice = FChoice;
    {
        // Listeners see the outcome, not the list emptied and refilled.
        const QSignalBlocker quiet(this);
        clear();
        addItems(entries);
    }
    Select(choice);
    FChoice = currentText();
}

void TPortBox::showPopup() {
    Refresh();
    // The list is as wide as its longest entry, even where the box is narrower.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth());
    QComboBox::showPopup();
}

void TPortBox::ChoiceMade() {
    if (currentText() == U(OtherPortEntry)) AskForPath();
}

void TPortBox::AskForPath() {
    const QPointer<TPortBox> alive(this);
    bool accepted = false;
    const QString path = QInputDialog::getText(this, U("Другой порт"), U(OtherPortLabel), QLineEdit::Normal,
                                               QString(), &accepted)
                             .trimmed();
    if (!alive) return;  // the window was closed while the dialog was up
    if (accepted && !path.isEmpty() && path != U(OtherPortEntry))
        AddTypedPath(path);
    else
        Select(FChoice);
}

// A name already listed is listed once all the same: Refresh drops repeats.
void TPortBox::AddTypedPath(const QString& path) {
    if (!FTypedPaths.contains(path)) FTypedPaths << path;
    Refresh();
    Select(path);
}

void TPortBox::Select(const QString& entry) {
    const int index = findText(entry);
    setCurrentIndex(index >= 0 ? index : 0);
}
