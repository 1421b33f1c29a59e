// A tuning under way in the window: its limits, the starting words, the
// search, the guard of the experiment running and the runs it made. Main thread.
#pragma once

#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include "paramset/ParamSync.h"
#include "tune/Guard.h"
#include "tune/Limits.h"
#include "tune/Search.h"

struct TAutoTuneRun {
    TAutoTuneRun(const tune::TLimits& given, const paramsync::TWords& words)
        : limits(given), start(words), search({words[2], words[3]}, given.overshootPct, given.maxExperiments) {
        clock.start();
    }

    tune::TLimits limits;
    paramsync::TWords start;
    tune::TSearch search;
    std::optional<tune::TGuard> guard;  // of the experiment running
    tune::EStopped stopped = tune::EStopped::None;
    std::vector<int> runIds;  // one an experiment, in the search's order
    QElapsedTimer clock;
    QPointer<QProgressDialog> progress;
};
