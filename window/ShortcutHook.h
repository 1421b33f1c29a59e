// The application-wide keyboard hook: sees every key press of every window
// before it is dispatched (also inside modal boxes and nested event loops),
// hands its virtual-key code to the main window once, and lets it go on,
// except an arrow that drove the bar while a radio group or a button had the focus.
#pragma once

#include <QObject>
#include <QPointer>

#include <vector>

class QKeyEvent;
class TMainForm;

class TShortcutHook : public QObject {
    Q_OBJECT
public:
    // Installs itself on the application; removed when destroyed.
    explicit TShortcutHook(TMainForm* form);
    ~TShortcutHook() override;

    // The platform's virtual-key code for a Qt key, 0 for keys the hook ignores.
    static int VirtualKeyOf(int qtKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One key press reaches the filter several times: at its window, then at
    // the focus widget and each parent it travels up to. A sighting is the
    // same press when it is the same event object (pointer, key, time stamp)
    // and follows on from where that event was seen last.
    struct TSighting {
        const QKeyEvent* event;
        int key;
        quint64 timestamp;
        QPointer<QObject> watched;
    };
    bool IsNewPress(QObject* watched, const QKeyEvent* event);
    static bool TakesArrowsItself(QObject* watched);
    void Forget(const QKeyEvent* event);

    TMainForm* FForm;
    std::vector<TSighting> FSightings;  // a few recent presses, newest last
};
