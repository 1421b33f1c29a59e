// Program entry: the command line, the application, its title, the main
// window, the message loop.
#include <iostream>

#include <QApplication>

#include "window/MainUnit.h"
#include "window/ProgramOptions.h"

int main(int argc, char** argv) {
    // Before the application: help and version need no display.
    if (const auto status = options::HandleArguments({argv + 1, argv + argc}, SERVO_CONSOLE_VERSION,
                                                     std::cout, std::cerr))
        return *status;
    QApplication app(argc, argv);
    // The title names the program in the task bar and captions the default
    // error report; the window keeps its own caption.
    QApplication::setApplicationName(QStringLiteral("Servo-controller Setup"));
    // Lets a Wayland shell match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("servo-console"));
    TMainForm form;
    form.show();
    return app.exec();
}
