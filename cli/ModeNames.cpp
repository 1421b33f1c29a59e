#include <array>

#include "cli/Options.h"
#include "link/Protocol.h"

namespace cli {

namespace {

// In wire order, as protocol::ServoModeNames.
constexpr std::array<const char*, protocol::ServoModeCount> Aliases{"pwm", "torque", "velocity", "position"};

}  // namespace

std::optional<int> ModeByName(const QString& name) {
    for (int mode = 0; mode < protocol::ServoModeCount; ++mode) {
        const auto i = size_t(mode);
        if (name.compare(QString::fromUtf8(protocol::ServoModeNames[i]), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String(Aliases[i]), Qt::CaseInsensitive) == 0)
            return mode;
    }
    return std::nullopt;
}

QString ModeName(int mode) {
    if (mode < 0 || mode >= protocol::ServoModeCount) return QStringLiteral("?");
    return QString::fromUtf8(protocol::ServoModeNames[size_t(mode)]);
}

}  // namespace cli
