// Program entry: the application, its title, the main window, the message loop.
#include <QApplication>

#include "MainUnit.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The title names the program in the task bar and captions the default
    // error report; the window keeps its own caption.
    QApplication::setApplicationName(QStringLiteral("Servo-controller Setup"));
    int result = 0;
    {
        TMainForm form;
        form.show();
        result = app.exec();
    }
    // The window closed its port; its event thread frees itself through the queue.
    TCommEventThread::ReapAll(1000);
    return result;
}
