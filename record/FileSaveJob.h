// Writes one file on a worker thread, so a long export leaves the window
// responsive: the content goes to a temporary file beside the target, which
// takes the target's name only once it is complete (QSaveFile), so a failed
// write leaves no file behind and never a partial one. The outcome is
// delivered on the main thread.
#pragma once

#include <functional>
#include <thread>

#include <QObject>
#include <QString>

class QIODevice;

class TFileSaveJob : public QObject {
    Q_OBJECT
public:
    // Writes the whole content; false when a write failed. Runs on the worker
    // thread: it must own, or only read, everything it touches.
    using TWriter = std::function<bool(QIODevice& out)>;
    // Main thread: the error text (the operating system's words), empty on success.
    using TDone = std::function<void(const QString& error)>;

    // Starts at once. Main thread. The job deletes itself after `done` ran.
    TFileSaveJob(const QString& path, TWriter writer, TDone done, QObject* parent);
    // Waits for the worker: a write is never cut off half way (and the
    // outcome of one still running is then not delivered).
    ~TFileSaveJob() override;

    // Worker thread: writes and commits; returns the error text.
    static QString WriteFile(const QString& path, const TWriter& writer);

private:
    void Finish(const QString& error);  // main thread

    TDone FDone;
    std::thread FWorker;
};
