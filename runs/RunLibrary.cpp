#include "runs/RunLibrary.h"

#include <algorithm>

namespace runs {

TRunLibrary::TRunLibrary(QObject* parent, size_t maxRuns, size_t maxBytes)
    : QObject(parent), FMaxRuns(maxRuns), FMaxBytes(maxBytes) {}

const TRun& TRunLibrary::Add(TRun run) {
    run.id = FNextId++;
    FRuns.push_back(std::make_unique<TRun>(std::move(run)));
    const TRun& added = *FRuns.back();
    Trim();
    emit Changed();
    return added;
}

// The newest run always stays, whatever it takes.
void TRunLibrary::Trim() {
    while (FRuns.size() > 1 && (FRuns.size() > FMaxRuns || Bytes() > FMaxBytes)) {
        const auto oldest = std::find_if(FRuns.begin(), FRuns.end() - 1,
                                         [this](const auto& run) { return run->id != FReference; });
        if (oldest == FRuns.end() - 1) return;  // only the reference and the newest are left
        FRuns.erase(oldest);
    }
}

void TRunLibrary::Remove(int id) {
    std::erase_if(FRuns, [id](const auto& run) { return run->id == id; });
    if (FReference == id) FReference = 0;
    emit Changed();
}

const TRun* TRunLibrary::Find(int id) const {
    for (const auto& run : FRuns)
        if (run->id == id) return run.get();
    return nullptr;
}

size_t TRunLibrary::Bytes() const {
    size_t bytes = 0;
    for (const auto& run : FRuns) bytes += run->Bytes();
    return bytes;
}

void TRunLibrary::SetReference(int id) {
    FReference = Find(id) ? id : 0;
    emit Changed();
}

void TRunLibrary::Rename(int id, const QString& name) {
    for (const auto& run : FRuns)
        if (run->id == id) run->name = name;
    emit Changed();
}

}  // namespace runs
