#include "DefaultReport.h"

#include <exception>

#include <QApplication>
#include <QMessageBox>

namespace report {

void ShowDefaultReport(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), message,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
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
