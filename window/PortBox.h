// The port box: a drop-down list whose found devices are looked up again each
// time it opens, and whose last entry asks for the path of any other device
// or the address of a network serial server.
#pragma once

#include <functional>

#include <QComboBox>
#include <QString>
#include <QStringList>

class TPortBox : public QComboBox {
    Q_OBJECT
public:
    using TDeviceFinder = std::function<QStringList()>;
    static inline const char* OtherPortEntry = "Другой порт…";
    // What "Другой порт…" asks for: a device path, or a network serial server.
    static inline const char* OtherPortLabel =
        "Путь к устройству или адрес сервера\n(rfc2217://узел:порт или socket://узел:порт):";

    // The simulator entry is named by the port choice, which starts the simulator.
    explicit TPortBox(const QString& simulatorEntry, QWidget* parent = nullptr);

    // Where the found devices come from; the system's /dev unless replaced.
    void SetDeviceFinder(TDeviceFinder finder);
    // Lists the fixed ports, the devices found now, the paths typed in this
    // run, the simulator and "Другой порт…"; the current choice stays
    // selected while it is listed, otherwise the first port is.
    void Refresh();

    void showPopup() override;

private:
    void ChoiceMade();
    void AskForPath();
    void AddTypedPath(const QString& path);
    void Select(const QString& entry);

    QString FSimulatorEntry;
    TDeviceFinder FFinder;
    QStringList FTypedPaths;  // kept only for this run
    QString FChoice;          // the last entry selected other than "Другой порт…"
};
