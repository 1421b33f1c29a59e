// The parameter file: what is written reads back as the same set, and every
// kind of damaged or foreign file is refused at the field that is wrong.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

#include "paramset/ParamFile.h"
#include "tests/support/QStringPrint.h"

using namespace paramfile;

namespace {

TParamSet Sample() {
    TParamSet set;
    set.words = {uint16_t(-7), 384, 65535, 0, 32768, 65535};
    set.controller = "SRV2 servo ctl v1.4+";
    set.time = QDateTime(QDate(2026, 12, 9), QTime(5, 0, 1), Qt::UTC);
    set.servoMode = 2;
    return set;
}

QJsonObject SampleJson() { return QJsonDocument::fromJson(ToJson(Sample())).object(); }

// Changes parameter `position` of the sample file.
QByteArray WithParam(int position, const std::function<void(QJsonObject&)>& change) {
    QJsonObject root = SampleJson();
    QJsonArray params = root["params"].toArray();
    QJsonObject param = params[position].toObject();
    change(param);
    params[position] = param;
    root["params"] = params;
    return QJsonDocument(root).toJson();
}

QByteArray With(const char* key, const QJsonValue& value) {
    QJsonObject root = SampleJson();
    if (value.isUndefined()) root.remove(key);
    else root[key] = value;
    return QJsonDocument(root).toJson();
}

struct TDamage {
    const char* name;
    QByteArray bytes;
    const char* field;   // the field the refusal names; empty: accepted
    const char* reason;  // a part of the reason
};

QByteArray SeedFile() {
    QFile file(SEED_FILE);  // the example the README shows
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<TDamage> Damages() {
    QJsonArray five = SampleJson()["params"].toArray();
    five.removeAt(3);
    QJsonObject missing = SampleJson();
    missing["params"] = five;
    return {
        {"Sound", ToJson(Sample()), "", ""},
        {"TheExampleFile", SeedFile(), "", ""},
        {"ValueWithTheOtherSeparator", WithParam(1, [](QJsonObject& p) { p["value"] = "1,5"; }), "", ""},
        {"NotJson", "{\"format\": ", "файл", "не JSON"},
        {"NotAnObject", "[1, 2]", "файл", "не JSON-объект"},
        {"NotUtf8", QByteArray("{\"controller\": \"\xC3\x28\"}"), "файл", "UTF-8"},
        {"OverOneMebibyte", ToJson(Sample()) + QByteArray(MaxFileBytes, ' '), "файл", "1 МиБ"},
        {"AnotherFormat", With("format", "chart-csv"), "format", "servo-params"},
        {"NoFormat", With("format", QJsonValue::Undefined), "format", "servo-params"},
        {"NewerVersion", With("version", 2), "version", "новее"},
        {"VersionNotANumber", With("version", "1"), "version", "целое"},
        {"ParamsNotAList", With("params", 7), "params", "список"},
        {"AParamMissing", QJsonDocument(missing).toJson(), "params", "#4 отсутствует"},
        {"AParamTwice", WithParam(4, [](QJsonObject& p) { p["number"] = 2; }), "params[4].number", "#2 указан дважды"},
        {"NumberOutside", WithParam(0, [](QJsonObject& p) { p["number"] = 7; }), "params[0].number", "от 1 до 6"},
        {"WordAboveItsRange", WithParam(2, [](QJsonObject& p) { p["word"] = 65536; }), "params[2] (#3).word", "65535"},
        {"WordNegative", WithParam(2, [](QJsonObject& p) { p["word"] = -1; }), "params[2] (#3).word", "65535"},
        {"WordNotWhole", WithParam(2, [](QJsonObject& p) { p["word"] = 1.5; }), "params[2] (#3).word", "целое"},
        {"ValueNotItsWord", WithParam(2, [](QJsonObject& p) { p["value"] = "200"; }), "params[2] (#3).value",
         "не соответствует слову 65535"},
        {"ValueMissing", WithParam(0, [](QJsonObject& p) { p.remove("value"); }), "params[0] (#1).value", ""},
        {"ModeOutside", With("servoMode", QJsonObject{{"number", 4}}), "servoMode.number", "от 0 до 3"},
        {"TimeNotATime", With("time", "yesterday"), "time", "ISO 8601"},
    };
}

}  // namespace

TEST(ParamFile, WhatIsWrittenReadsBackAsTheSameSet) {
    const TReadResult read = FromJson(ToJson(Sample()));
    ASSERT_TRUE(read.set) << read.refusal.field.toStdString() << ": " << read.refusal.reason.toStdString();
    EXPECT_EQ(read.set->words, Sample().words);
    EXPECT_EQ(read.set->controller, Sample().controller);
    EXPECT_EQ(read.set->time, Sample().time);
    EXPECT_EQ(read.set->servoMode, 2);
    EXPECT_EQ(ToJson(*read.set), ToJson(Sample()));
}

TEST(ParamFile, DamagedAndForeignFilesAreRefusedAtTheirField) {
    for (const TDamage& damage : Damages()) {
        SCOPED_TRACE(damage.name);
        const TReadResult read = FromJson(damage.bytes);
        if (QString(damage.field).isEmpty()) {
            EXPECT_TRUE(read.set) << read.refusal.field.toStdString() << ": " << read.refusal.reason.toStdString();
            continue;
        }
        ASSERT_FALSE(read.set);
        EXPECT_EQ(read.refusal.field, QString::fromUtf8(damage.field));
        EXPECT_TRUE(read.refusal.reason.contains(QString::fromUtf8(damage.reason))) << read.refusal.reason.toStdString();
    }
}

// A save replaces the file whole or not at all; a file that cannot be
// written is said to have failed and leaves nothing behind.
TEST(ParamFile, SavingReplacesAFileWholeAndAFailureKeepsTheOldOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("set.json");
    ASSERT_FALSE(Save(path, Sample()));
    TParamSet other = Sample();
    other.words[3] = 4242;
    ASSERT_FALSE(Save(path, other));
    const TReadResult read = Load(path);
    ASSERT_TRUE(read.set);
    EXPECT_EQ(read.set->words[3], 4242);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"set.json"});  // no temporary left
    EXPECT_TRUE(Save(dir.filePath("missing/set.json"), Sample()));
    EXPECT_EQ(Load(dir.filePath("missing/set.json")).refusal.field, QString::fromUtf8("файл"));

    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    if (QFile(dir.filePath("probe")).open(QIODevice::WriteOnly)) return;  // root writes anyway
    EXPECT_TRUE(Save(path, Sample()));
    EXPECT_EQ(Load(path).set->words[3], 4242);
}
