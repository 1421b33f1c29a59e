#include "PortAdvice.h"

#include "CommApi.h"

namespace {

using portadvice::ENodeKind;
using portadvice::TNodeProbe;

enum class ECause { None, PermissionDenied, Busy, NotFound, NotSerial, NoHardware };

// Access denied stands for missing rights, for a port held by someone else
// (the lock refuses even root) and for a node that is no device at all.
ECause AccessDeniedCause(const std::string& path, const TNodeProbe& probe) {
    switch (probe.Kind(path)) {
    case ENodeKind::Missing: return ECause::NotFound;  // gone since the attempt
    case ENodeKind::Other: return ECause::NotSerial;
    case ENodeKind::CharDevice: break;
    }
    return probe.MayReadWrite(path) ? ECause::Busy : ECause::PermissionDenied;
}

ECause CauseOf(const std::string& path, int32_t errorCode, const TNodeProbe& probe) {
    switch (errorCode) {
    case -1: return ECause::NotSerial;  // opened, but not a character device
    case commapi::ERROR_FILE_NOT_FOUND:
    case commapi::ERROR_PATH_NOT_FOUND:
    case commapi::ERROR_DEV_NOT_EXIST: return ECause::NotFound;  // a node with no device behind it
    case commapi::ERROR_ACCESS_DENIED: return AccessDeniedCause(path, probe);
    case commapi::ERROR_GEN_FAILURE: return ECause::NoHardware;  // a node whose driver finds no port
    default: return ECause::None;
    }
}

const char* TextOf(ECause cause) {
    switch (cause) {
    case ECause::PermissionDenied:
        return "Нет прав на %1: пользователь не в группе dialout. Выполните "
               "sudo usermod -aG dialout $USER и войдите в систему заново.";
    case ECause::Busy: return "Порт %1 занят другой программой: закройте её и подключитесь снова.";
    case ECause::NotFound: return "Устройство %1 не найдено: оно не подключено или имя указано неверно.";
    case ECause::NotSerial: return "%1 — не последовательный порт: выберите другое устройство.";
    case ECause::NoHardware:
        return "Порт %1 не отвечает: на этом компьютере нет такого порта, или адаптер неисправен.";
    case ECause::None: break;
    }
    return "";
}

}  // namespace

QString PortAdvice(const std::string& deviceName, int32_t errorCode) {
    return PortAdvice(deviceName, errorCode, portadvice::SystemProbe());
}

QString PortAdvice(const std::string& deviceName, int32_t errorCode,
                   const portadvice::TNodeProbe& probe) {
    const std::string path = portadvice::DevicePath(deviceName);
    const ECause cause = CauseOf(path, errorCode, probe);
    if (cause == ECause::None) return {};
    return QString::fromUtf8(TextOf(cause)).arg(QString::fromStdString(path));
}
