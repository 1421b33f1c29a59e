#include "window/PortAdvice.h"

#include "comm/CommApi.h"

namespace {

using portadvice::ENodeKind;
using portadvice::TNodeProbe;

enum class ECause {
    None, PermissionDenied, Busy, NotFound, NotSerial, NoHardware,
    // A network serial server.
    BadAddress, HostNotFound, Refused, Unreachable, NoAnswer, NotRfc2217, TelnetServer, ServerClosed
};

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

ECause NetworkCauseOf(const std::string& name, int32_t errorCode) {
    const bool raw = portadvice::IsRawNetworkName(name);
    switch (uint32_t(errorCode)) {
    case commapi::ERROR_INVALID_NAME: return ECause::BadAddress;
    case commapi::ERROR_BAD_NET_NAME: return ECause::HostNotFound;
    case commapi::ERROR_CONNECTION_REFUSED: return ECause::Refused;
    case commapi::ERROR_NETWORK_UNREACHABLE:
    case commapi::ERROR_HOST_UNREACHABLE: return ECause::Unreachable;
    case commapi::ERROR_SEM_TIMEOUT: return ECause::NoAnswer;
    case commapi::ERROR_NOT_SUPPORTED: return raw ? ECause::TelnetServer : ECause::NotRfc2217;
    case commapi::ERROR_CONNECTION_ABORTED: return ECause::ServerClosed;
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
    case ECause::BadAddress:
        return "Адрес %1 записан неверно: нужен rfc2217://узел:порт или socket://узел:порт.";
    case ECause::HostNotFound: return "Сервер %1 не найден: проверьте имя узла.";
    case ECause::Refused:
        return "Сервер %1 не принимает соединения: ser2net там не запущен, или порт указан неверно.";
    case ECause::Unreachable: return "Сервер %1 недоступен: нет сети до этого узла.";
    case ECause::NoAnswer: return "Сервер %1 не ответил за 5 с: проверьте адрес и сеть.";
    case ECause::NotRfc2217:
        return "Сервер %1 не отвечает как RFC 2217: в ser2net нужен accepter: telnet(rfc2217),tcp,…; "
               "для простого tcp подключайтесь через socket://.";
    case ECause::TelnetServer:
        return "Сервер %1 работает по Telnet (RFC 2217), а не как простой tcp: подключайтесь через "
               "rfc2217:// с тем же узлом и портом.";
    case ECause::ServerClosed:
        return "Сервер %1 закрыл соединение: порт занят другим клиентом, или устройство за сервером недоступно.";
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
    const ECause cause = portadvice::IsNetworkName(deviceName) ? NetworkCauseOf(deviceName, errorCode)
                                                               : CauseOf(path, errorCode, probe);
    if (cause == ECause::None) return {};
    return QString::fromUtf8(TextOf(cause)).arg(QString::fromStdString(path));
}
