#include "record/FileSaveJob.h"

#include <cerrno>
#include <cstring>
#include <exception>

#include <unistd.h>

#include <QSaveFile>

TFileSaveJob::TFileSaveJob(const QString& path, TWriter writer, TDone done, QObject* parent)
    : QObject(parent), FDone(std::move(done)) {
    // Worker thread: the file and the writer's data are its own; the only
    // way back is the queued call, run by the main thread's event loop. A
    // call still queued when the job is destroyed is dropped with it.
    FWorker = std::thread([this, path, writer = std::move(writer)] {
        const QString error = WriteFile(path, writer);
        QMetaObject::invokeMethod(this, [this, error] { Finish(error); }, Qt::QueuedConnection);
    });
}

TFileSaveJob::~TFileSaveJob() {
    if (FWorker.joinable()) FWorker.join();
}

namespace {

// Never empty: an empty text would read as success. A failed flush leaves
// no text of its own in the file: the system's reason is then errno's.
QString Failure(const QSaveFile& file) {
    const int code = errno;
    QString error = file.errorString();
    if (error.isEmpty() || error == QStringLiteral("Unknown error"))
        error = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : QStringLiteral("Unknown error");
    return error;
}

}  // namespace

QString TFileSaveJob::WriteFile(const QString& path, const TWriter& writer) {
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) return Failure(file);
    // Uncommitted, the temporary file is removed as `file` goes.
    try {
        if (!writer(file)) return Failure(file);
    } catch (const std::exception& error) {
        // Out of memory or threads: on this thread it would end the program.
        return QString::fromLocal8Bit(error.what());
    }
    // The last part of the content still sits in the file's buffer: commit
    // would write it without telling of a full disk, and rename a cut-off file
    // into place. Written and synced here, each failure is seen.
    if (!file.flush()) return Failure(file);
    if (::fsync(file.handle()) != 0 && errno != EINVAL) return QString::fromLocal8Bit(std::strerror(errno));
    if (!file.commit()) return Failure(file);
    return QString();
}

void TFileSaveJob::Finish(const QString& error) {
    if (FWorker.joinable()) FWorker.join();  // it has posted this call: it is ending
    const TDone done = std::move(FDone);
    deleteLater();
    if (done) done(error);
}
