#include "cli/Program.h"

#include <memory>
#include <ostream>

#include <QFileInfo>

#include "cli/Interrupt.h"
#include "cli/PortRunner.h"
#include "cli/Summary.h"
#include "sim/PlantSources.h"
#include "sim/PtySimulator.h"

namespace cli {

namespace {

using TSimulators = std::vector<std::unique_ptr<sim::TPtySimulator>>;

// Each "sim" its own simulated controller; kept until every port is done.
// One that does not start leaves its device empty, which no port opens.
std::vector<TPortJob> Jobs(const TOptions& options, TSimulators& simulators, std::ostream& err) {
    std::vector<TPortJob> jobs;
    for (size_t i = 0; i < options.ports.size(); ++i) {
        TPortJob job{options.ports[i], options.ports[i], OutputPath(options.file, i, options.ports.size()),
                     OutputPath(options.figures, i, options.ports.size()),
                     OutputPath(options.trace, i, options.ports.size())};
        if (job.port == "sim") {
            simulators.push_back(std::make_unique<sim::TPtySimulator>(
                sim::TSimOptions{.Plant = sim::PlantFromEnvironment(err)}));
            std::string error;
            job.device = simulators.back()->Start(&error) ? simulators.back()->Path() : std::string();
            if (job.device.empty()) err << "servo-cli: sim: not started: " << error << '\n';
        }
        jobs.push_back(job);
    }
    return jobs;
}

}  // namespace

QString OutputPath(const QString& file, size_t index, size_t count) {
    if (count < 2 || file.isEmpty()) return file;
    const QFileInfo info(file);
    const QString suffix = info.suffix().isEmpty() ? QString() : '.' + info.suffix();
    return file.chopped(suffix.size()) + QStringLiteral(".%1").arg(index + 1) + suffix;
}

EExit Run(const TOptions& options, std::ostream& out, std::ostream& err) {
    // Checked before any port is opened: a refused file reaches no controller.
    std::optional<paramfile::TParamSet> fileSet;
    if (options.command == ECommand::ParamsSet && options.assign.empty()) {
        const paramfile::TReadResult file = paramfile::Load(options.file);
        if (!file.set) {
            err << "servo-cli: " << paramfile::RefusalMessage(options.file, file.refusal).toStdString() << '\n';
            return EExit::BadFile;
        }
        fileSet = file.set;
    }
    // A step test answers Ctrl-C by aborting and keeping its record; the rest end as they always did.
    if (options.command == ECommand::Step || options.command == ECommand::Tune) CatchInterrupts();
    TSimulators simulators;
    const std::vector<TDeviceResult> results = RunAll(Jobs(options, simulators, err), options, fileSet);
    const QByteArray summary = options.json ? SummaryJson(results) : SummaryTable(results);
    out.write(summary.constData(), summary.size()) << std::flush;
    EExit worst = EExit::Ok;
    for (const TDeviceResult& r : results) worst = Worst(worst, r.code);
    return worst;
}

}  // namespace cli
