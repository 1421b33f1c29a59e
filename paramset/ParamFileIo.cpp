// The parameter file on disk. Main thread (or any one thread at a time).
#include <cerrno>
#include <cstring>

#include <unistd.h>

#include <QFile>
#include <QSaveFile>

#include "paramset/ParamFile.h"

namespace paramfile {

std::optional<QString> Save(const QString& path, const TParamSet& set) {
    QSaveFile file(path);
    const QByteArray bytes = ToJson(set);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    // On disk before the rename: a crash leaves the old file or the new one.
    if (::fsync(file.handle()) != 0) {
        file.cancelWriting();
        return QString::fromLocal8Bit(strerror(errno));
    }
    if (!file.commit()) return file.errorString();
    return std::nullopt;
}

TReadResult Load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {std::nullopt, {QString::fromUtf8("файл"), file.errorString()}};
    // One byte past the limit is enough to refuse, whatever the file claims
    // to be (a device, a pipe).
    return FromJson(file.read(MaxFileBytes + 1));
}

}  // namespace paramfile
