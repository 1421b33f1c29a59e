// The application-wide keyboard hook: sees every key press of every window
// before it is dispatched (also inside modal boxes and nested event loops),
// hands its virtual-key code to the main window once, and never consumes it.
#pragma once

#include <QObject>

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
    TMainForm* FForm;
};
