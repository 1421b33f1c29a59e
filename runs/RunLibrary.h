// The runs of this program's run, newest last, bounded in number and in
// memory: the oldest run that is not the reference goes first. One run may
// be pinned as the reference the others are compared with. Main thread only.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include <QObject>

#include "runs/Run.h"

namespace runs {

class TRunLibrary : public QObject {
    Q_OBJECT
public:
    // 20 runs; 192 MiB holds 20 runs of three series at depth 100,000 (about
    // 2.7 MB each) or 7 at the deepest history of 1,000,000.
    static constexpr size_t DefaultMaxRuns = 20;
    static constexpr size_t DefaultMaxBytes = size_t(192) << 20;

    explicit TRunLibrary(QObject* parent = nullptr, size_t maxRuns = DefaultMaxRuns,
                         size_t maxBytes = DefaultMaxBytes);

    // Takes the run in, gives it its id and returns it; older runs may go.
    const TRun& Add(TRun run);
    void Remove(int id);
    const std::vector<std::unique_ptr<TRun>>& Runs() const { return FRuns; }
    const TRun* Find(int id) const;
    size_t Bytes() const;
    int Added() const { return FNextId - 1; }  // ever, this program's run

    // 0: none.
    int Reference() const { return FReference; }
    void SetReference(int id);
    void Rename(int id, const QString& name);

signals:
    void Changed();

private:
    void Trim();

    std::vector<std::unique_ptr<TRun>> FRuns;
    size_t FMaxRuns;
    size_t FMaxBytes;
    int FNextId = 1;
    int FReference = 0;
};

}  // namespace runs
