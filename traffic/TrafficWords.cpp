#include "traffic/TrafficWords.h"

#include "link/Protocol.h"

namespace traffic {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

}  // namespace

TWords Russian() {
    TWords w{U("принят"), U("отклонён"), U("неразборчив"), U("нет ответа"), U("пол-ответа: %1 из %2 байт"),
             U("проба"), U("есть ответ"), U("нет ответа"), U("линия потеряна"), {}};
    for (size_t i = 0; i < w.modes.size(); ++i) w.modes[i] = U(protocol::ServoModeNames[i]);
    return w;
}

TWords English() {
    return {"accepted", "refused", "unreadable", "no answer", "half a reply: %1 of %2 bytes",
            "probe",    "answered", "no answer", "line lost", {"pwm", "torque", "velocity", "position"}};
}

}  // namespace traffic
