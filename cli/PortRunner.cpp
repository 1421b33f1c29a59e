#include "cli/PortRunner.h"

#include <memory>

#include <QEventLoop>
#include <QThread>

#include "cli/Progress.h"

namespace cli {

TDeviceResult RunOne(const TPortJob& job, const TCommandInput& in) {
    TDeviceResult result{job.port, QString::fromStdString(job.device), {}, EExit::Ok, {}, {}, {}};
    try {
        TDeviceSession session(job.device);
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
