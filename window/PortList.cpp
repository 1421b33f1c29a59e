#include "window/PortList.h"

#include <algorithm>
#include <utility>

#include <QDir>
#include <QFileInfo>

namespace portlist {

namespace {

// A device name as its stem and its number: ttyUSB10 -> ("ttyUSB", 10).
std::pair<QString, qulonglong> StemAndNumber(const QString& path) {
    qsizetype digits = path.size();
    while (digits > 0 && path[digits - 1].isDigit()) --digits;
    return {path.left(digits), path.mid(digits).toULongLong()};
}

// Sorted so that ttyUSB2 comes before ttyUSB10.
QStringList NaturalSorted(QStringList paths) {
    std::sort(paths.begin(), paths.end(), [](const QString& a, const QString& b) {
        const auto ka = StemAndNumber(a);
        const auto kb = StemAndNumber(b);
        return ka != kb ? ka < kb : a < b;
    });
    return paths;
}

QStringList Matching(const QString& dir, const QString& pattern) {
    QStringList paths;
    const QDir d(dir);
    for (const QFileInfo& info :
         d.entryInfoList({pattern}, QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        paths << info.absoluteFilePath();
    return NaturalSorted(paths);
}

// The device a by-id link stands for; empty when the link is dangling.
QStringList ResolvedLinks(const QString& dir) {
    QStringList targets;
    const QDir d(dir);
    for (const QFileInfo& link : d.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty()) targets << target;
    }
    return NaturalSorted(targets);
}

}  // namespace

QStringList FindSerialDevices(const QString& devRoot) {
    QStringList found = ResolvedLinks(devRoot + QStringLiteral("/serial/by-id"));
    found << Matching(devRoot, QStringLiteral("ttyUSB*"));
    found << Matching(devRoot, QStringLiteral("ttyACM*"));
    found.removeDuplicates();
    return found;
}

}  // namespace portlist
