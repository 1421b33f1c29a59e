#include "cli/PortRunner.h"

#include <memory>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>

#include "cli/Progress.h"
#include "traffic/TrafficLog.h"

namespace cli {

namespace {

// The port's traffic, a line a frame as it happens, ms since the port opened.
class TTraceFile {
public:
    explicit TTraceFile(const QString& path)
        : FFile(path), FLog(traffic::English(), [this] { return double(FClock.nsecsElapsed()) / 1e6; }) {
        FClock.start();
        if (path.isEmpty() || !FFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return;
        FLog.SetSink([this](const traffic::TLine& line) {
            FFile.write((FLog.Text(line) + '\n').toUtf8());
            FFile.flush();  // a crash or a kill keeps what went before
        });
    }
    bool Failed() const { return !FFile.fileName().isEmpty() && !FFile.isOpen(); }
    QString Error() const { return FFile.errorString(); }
    void Watch(TControllerLink& link) {
        if (FFile.isOpen()) link.SetTrace(&FLog);
    }

private:
    QFile FFile;
    QElapsedTimer FClock;
    traffic::TLog FLog;
};

}  // namespace

TDeviceResult RunOne(const TPortJob& job, const TCommandInput& in) {
    TDeviceResult result{job.port, QString::fromStdString(job.device), {}, EExit::Ok, {}, {}, {}};
    TTraceFile trace(job.trace);
    if (trace.Failed()) {
        Fail(result, EExit::BadFile, QStringLiteral("%1 not written: %2").arg(job.trace, trace.Error()));
        return result;
    }
    try {
        TDeviceSession session(job.device);
        trace.Watch(session.Link());
        QString error;
        const EExit connected = session.Connect(error);
        result.ident = session.Ident();
        if (connected != EExit::Ok) {
            Fail(result, connected, error);
        } else {
            Progress(job.port, QStringLiteral("connected: ") + result.ident);
            RunCommand(session, in, result);
        }
    } catch (const ELinkLost&) {
        Fail(result, EExit::PortFailed, QStringLiteral("line lost"));
    } catch (const std::exception& e) {
        // The port's own errors (a write on a line gone) and anything else unforeseen.
        Fail(result, EExit::PortFailed, QString::fromLocal8Bit(e.what()).simplified());
    }
    Progress(job.port, QString::fromLatin1(ExitName(result.code)) + ": " + result.result);
    return result;
}

std::vector<TDeviceResult> RunAll(const std::vector<TPortJob>& jobs, const TOptions& options,
                                  const std::optional<paramfile::TParamSet>& fileSet) {
    std::vector<TDeviceResult> results(jobs.size());
    std::vector<std::unique_ptr<QThread>> threads;
    QEventLoop loop;
    size_t running = jobs.size();
    for (size_t i = 0; i < jobs.size(); ++i) {
        threads.emplace_back(QThread::create([&, i] {
            results[i] = RunOne(jobs[i], {options, fileSet, jobs[i].output, jobs[i].figures});
        }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (--running == 0) loop.quit();
        });
    }
    for (const auto& thread : threads) thread->start();
    if (running > 0) loop.exec();
    for (const auto& thread : threads) thread->wait();
    return results;
}

}  // namespace cli
