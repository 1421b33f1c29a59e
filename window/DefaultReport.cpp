#include "window/DefaultReport.h"

#include <exception>

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

namespace report {

bool ExecUnlessShown(QMessageBox& box) {
    static QStringList open;  // caption and text of each box now open
    const QString key = box.windowTitle() + QChar(0) + box.text();
    if (open.contains(key)) return false;
    open << key;
    box.exec();
    open.removeOne(key);
    return true;
}

void ShowDefaultReport(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), message,
                    QMessageBox::Ok, QApplication::activeWindow());
    ExecUnlessShown(box);
}

void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowDefaultReport(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowDefaultReport(QStringLiteral("Unknown error"));
    }
}

}  // namespace report
