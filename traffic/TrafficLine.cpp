#include "traffic/TrafficLine.h"

#include "link/ControllerLink.h"
#include "link/ParamWords.h"
#include "link/Protocol.h"

namespace traffic {

namespace {

uint16_t Word(std::span<const uint8_t> b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

int32_t Signed24(std::span<const uint8_t> b, size_t at) {
    const uint32_t raw = uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16;
    return int32_t(raw << 8) >> 8;
}

QString Mode(int mode, const TWords& words) {
    const QString name = mode >= 0 && mode < int(words.modes.size()) ? words.modes[size_t(mode)] : QStringLiteral("?");
    return QStringLiteral("mode=%1 (%2)").arg(mode).arg(name);
}

QString Param(int index, uint16_t word) {
    if (index < 0 || index >= paramwords::ParamCount) return QStringLiteral("#%1=[%2]").arg(index + 1).arg(word);
    return QStringLiteral("%1=%2 [%3]").arg(paramwords::Label(index), paramwords::Text(index, word)).arg(word);
}

QString Hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

std::span<const uint8_t> Span(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

QString SentMeaning(std::span<const uint8_t> f, const TWords& words) {
    if (f.empty()) return {};
    const QString code = QString(QChar::fromLatin1(char(f[0])));
    const auto payload = f.subspan(std::min<size_t>(2, f.size()));
    switch (f[0]) {
    case protocol::cmdSetMode: return payload.size() >= 1 ? code + ' ' + Mode(payload[0], words) : code;
    case protocol::cmdSetTarget: return payload.size() >= 3 ? code + QStringLiteral(" target=%1").arg(Signed24(payload, 0)) : code;
    case protocol::cmdSaveBank:
    case protocol::cmdLoadBank: return payload.size() >= 1 ? code + QStringLiteral(" bank=%1").arg(payload[0]) : code;
    case protocol::cmdReadParam:
        if (payload.empty()) return code;
        return code + ' ' + (payload[0] < paramwords::ParamCount ? paramwords::Label(payload[0]) : QStringLiteral("#%1").arg(payload[0] + 1));
    case protocol::cmdWriteParam: return payload.size() >= 3 ? code + ' ' + Param(payload[0], Word(payload, 1)) : code;
    case protocol::cmdDrive: return payload.size() >= 2 ? code + QStringLiteral(" drive=%1").arg(int16_t(Word(payload, 0))) : code;
    default: return code;
    }
}

QString ReplyMeaning(std::span<const uint8_t> frame, std::span<const uint8_t> r, const TWords& words) {
    const uint8_t code = frame.empty() ? 0 : frame[0];
    switch (code) {
    case protocol::cmdReadParam: return frame.size() >= 3 && r.size() >= 2 ? Param(frame[2], Word(r, 0)) : QString();
    case protocol::cmdIdentify: return QStringLiteral("\"%1\"").arg(QString::fromLatin1(reinterpret_cast<const char*>(r.data()), qsizetype(r.size() > 0 ? r.size() - 1 : 0)));
    case protocol::cmdGetMode: return r.size() >= 1 ? Mode(r[0], words) : QString();
    case protocol::cmdGetPosition:
    case protocol::cmdGetTarget: return r.size() >= 3 ? QStringLiteral("position=%1").arg(Signed24(r, 0)) : QString();
    case protocol::cmdGetSample:
        if (r.size() < 6) return {};
        return QStringLiteral("tick=%1 v=%2 (%3 imp/s) mismatch=%4")
            .arg(Word(r, 0)).arg(int16_t(Word(r, 2))).arg(int(int16_t(Word(r, 2))) * 200).arg(int16_t(Word(r, 4)));
    default: return {};
    }
}

QString ReplyOutcome(uint8_t code, TLinkState state, size_t replyBytes, const TWords& words) {
    switch (state) {
    case lsDone: return words.accepted;
    case lsRefused: return words.refused;
    case lsUnparsed: return words.unparsed;
    case lsTimedOut: {
        const auto command = protocol::Command(code);
        if (replyBytes == 0 || !command) return words.timedOut;
        const int whole = command->replyData == protocol::OpenEnded ? 0 : command->replyData + 1;
        return words.timedOut + QStringLiteral(", ") +
               words.partial.arg(replyBytes).arg(whole > 0 ? QString::number(whole) : QStringLiteral("?"));
    }
    default: return {};
    }
}

}  // namespace

QString Meaning(const TLine& line, const TWords& words) {
    switch (line.kind) {
    case TLine::Sent: return SentMeaning(Span(line.bytes), words);
    case TLine::Reply: {
        // The command's letter first, so a reply reads on its own (a failure's too).
        const QString code = QString(QChar::fromLatin1(char(line.code)));
        if (line.state != lsDone || line.frame.isEmpty() || uint8_t(line.frame[0]) != line.code) return code;
        const QString said = ReplyMeaning(Span(line.frame), Span(line.bytes), words);
        return said.isEmpty() ? code : code + ' ' + said;
    }
    case TLine::Probe: return words.probe + QStringLiteral(" ×%1").arg(line.probes);
    case TLine::Lost: return {};
    }
    return {};
}

QString Outcome(const TLine& line, const TWords& words) {
    switch (line.kind) {
    case TLine::Sent: return {};
    case TLine::Reply: return ReplyOutcome(line.code, line.state, size_t(line.bytes.size()), words);
    case TLine::Probe: return line.answered ? words.answered : words.unanswered;
    case TLine::Lost: return words.lineLost;
    }
    return {};
}

QString Text(const TLine& line, const TWords& words) {
    static const char* const arrows[] = {"→", "←", "→", "·"};
    QString text = QStringLiteral("%1  %2  %3  %4")
                       .arg(line.timeMs, 10, 'f', 1)
                       .arg(QString::fromUtf8(arrows[line.kind]))
                       .arg(Hex(line.bytes), -20)
                       .arg(Meaning(line, words), -36);
    const QString outcome = Outcome(line, words);
    if (!outcome.isEmpty()) text += QStringLiteral("  ") + outcome;
    if (line.rttMs) text += QStringLiteral("  %1 ms").arg(*line.rttMs, 0, 'f', 1);
    while (text.endsWith(' ')) text.chop(1);  // the time stays right-aligned
    return text;
}

}  // namespace traffic
