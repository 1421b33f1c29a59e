#include "paramset/ParamFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include "link/Protocol.h"

namespace paramfile {

namespace {

using paramwords::ParamCount;

QString U(const char* text) { return QString::fromUtf8(text); }

// Values are compared whatever decimal separator the writer's locale used.
QString Plain(QString value) { return value.replace(QLatin1Char(','), QLatin1Char('.')); }

QJsonValue ModeJson(int mode) {
    if (mode < 0 || mode >= protocol::ServoModeCount) return QJsonValue::Null;
    return QJsonObject{{"number", mode}, {"name", U(protocol::ServoModeNames[size_t(mode)])}};
}

bool IsUtf8(const QByteArray& bytes) {
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decode(bytes);
    return !decode.hasError();
}

// An integer held exactly by a JSON number.
std::optional<int64_t> Integer(const QJsonValue& value) {
    if (!value.isDouble()) return std::nullopt;
    const double number = value.toDouble();
    // The range first: converting a number past it would be undefined.
    if (!(number >= -9e15 && number <= 9e15) || number != double(int64_t(number))) return std::nullopt;
    return int64_t(number);
}

// Reads the parts of a file one after another; the first fault is kept.
class TReader {
public:
    bool Refuse(const QString& field, const QString& reason) {
        FRefusal = {field, reason};
        return false;
    }
    const TRefusal& Refusal() const { return FRefusal; }

    bool Header(const QJsonObject& root, TParamSet& set);
    bool Params(const QJsonValue& value, TParamSet& set);

private:
    bool Param(int position, const QJsonValue& value, TParamSet& set, std::array<bool, ParamCount>& seen);
    bool Mode(const QJsonValue& value, TParamSet& set);

    TRefusal FRefusal;
};

bool TReader::Header(const QJsonObject& root, TParamSet& set) {
    const QJsonValue format = root.value("format");
    if (format.toString() != U(FormatTag))
        return Refuse("format", U("ожидалось \"%1\"").arg(U(FormatTag)));
    const auto version = Integer(root.value("version"));
    if (!version || *version < 1) return Refuse("version", U("ожидалось целое число от 1"));
    if (*version > FormatVersion)
        return Refuse("version", U("версия %1 новее поддерживаемой %2").arg(*version).arg(FormatVersion));
    const QJsonValue controller = root.value("controller");
    if (!controller.isUndefined() && !controller.isString()) return Refuse("controller", U("ожидался текст"));
    set.controller = controller.toString();
    const QJsonValue time = root.value("time");
    if (!time.isUndefined()) {
        set.time = QDateTime::fromString(time.toString(), Qt::ISODate);
        if (!set.time.isValid()) return Refuse("time", U("ожидалось время в виде ISO 8601"));
    }
    return Mode(root.value("servoMode"), set);
}

bool TReader::Mode(const QJsonValue& value, TParamSet& set) {
    if (value.isUndefined() || value.isNull()) return true;
    const auto number = Integer(value.toObject().value("number"));
    if (!number || *number < 0 || *number >= protocol::ServoModeCount)
        return Refuse("servoMode.number", U("ожидалось число от 0 до %1").arg(protocol::ServoModeCount - 1));
    set.servoMode = int(*number);
    return true;
}

bool TReader::Params(const QJsonValue& value, TParamSet& set) {
    if (!value.isArray()) return Refuse("params", U("ожидался список параметров"));
    const QJsonArray params = value.toArray();
    std::array<bool, ParamCount> seen{};
    for (int i = 0; i < params.size(); ++i)
        if (!Param(i, params.at(i), set, seen)) return false;
    for (int n = 0; n < ParamCount; ++n)
        if (!seen[size_t(n)]) return Refuse("params", U("параметр #%1 отсутствует").arg(n + 1));
    return true;
}

bool TReader::Param(int position, const QJsonValue& value, TParamSet& set, std::array<bool, ParamCount>& seen) {
    const QString at = QStringLiteral("params[%1]").arg(position);
    const QJsonObject param = value.toObject();
    const auto number = Integer(param.value("number"));
    if (!number || *number < 1 || *number > ParamCount)
        return Refuse(at + ".number", U("ожидалось число от 1 до %1").arg(ParamCount));
    const int index = int(*number) - 1;
    if (std::exchange(seen[size_t(index)], true))
        return Refuse(at + ".number", U("параметр #%1 указан дважды").arg(*number));
    const QString named = at + QStringLiteral(" (#%1)").arg(*number);
    const auto word = Integer(param.value("word"));
    if (!word || *word < 0 || *word > 65535)
        return Refuse(named + ".word", U("ожидалось целое число от 0 до 65535"));
    set.words[size_t(index)] = uint16_t(*word);
    const QString shown = paramwords::Text(index, uint16_t(*word));
    const QJsonValue text = param.value("value");
    if (!text.isString() || Plain(text.toString()) != Plain(shown))
        return Refuse(named + ".value", U("не соответствует слову %1 (ожидалось \"%2\")").arg(*word).arg(shown));
    return true;
}

}  // namespace

QByteArray ToJson(const TParamSet& set) {
    QJsonArray params;
    for (int i = 0; i < ParamCount; ++i) {
        const uint16_t word = set.words[size_t(i)];
        params.append(QJsonObject{{"number", i + 1},
                                  {"label", paramwords::Label(i)},
                                  {"word", word},
                                  {"value", paramwords::Text(i, word)}});
    }
    QJsonObject root{{"format", U(FormatTag)},
                     {"version", FormatVersion},
                     {"controller", set.controller},
                     {"servoMode", ModeJson(set.servoMode)},
                     {"params", params}};
    // A set of unknown time says nothing of it rather than something wrong.
    if (set.time.isValid()) root.insert("time", set.time.toUTC().toString(Qt::ISODate));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

TReadResult FromJson(const QByteArray& bytes) {
    const auto refused = [](const QString& field, const QString& reason) {
        return TReadResult{std::nullopt, {field, reason}};
    };
    if (bytes.size() > MaxFileBytes) return refused(U("файл"), U("больше 1 МиБ"));
    if (!IsUtf8(bytes)) return refused(U("файл"), U("текст не в кодировке UTF-8"));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return refused(U("файл"), U("не JSON: %1 (символ %2)").arg(error.errorString()).arg(error.offset + 1));
    if (!document.isObject()) return refused(U("файл"), U("не JSON-объект"));
    TReader reader;
    TParamSet set;
    if (reader.Header(document.object(), set) && reader.Params(document.object().value("params"), set))
        return {set, {}};
    return {std::nullopt, reader.Refusal()};
}

QString RefusalMessage(const QString& path, const TRefusal& refusal) {
    return U("Файл %1 не принят: %2: %3").arg(path, refusal.field, refusal.reason);
}

}  // namespace paramfile
