// The window's measurement on a port of servo-cli: the same polling, record
// and step plan (measure/Measurement.h), run in this thread's event loop
// until the plan ends, the time is up, the line is lost, the controller
// falls silent or Ctrl-C. Made, used and destroyed on the port's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QString>

#include "cli/DeviceSession.h"
#include "cli/ExitCode.h"
#include "measure/DriveLine.h"
#include "measure/Measurement.h"

class QEventLoop;

namespace cli {

struct TRecordEnd {
    EExit code = EExit::Ok;  // Ok: the plan or the time ran to its end
    QString why;
    bool lineUsable = true;
};

class TRecording {
public:
    // kfWord: parameter #2, which scales the command velocity.
    TRecording(TDeviceSession& session, uint16_t kfWord, std::string port);
    ~TRecording();
    TRecording(const TRecording&) = delete;
    TRecording& operator=(const TRecording&) = delete;

    // With a plan, the next Run drives its step and ends with it.
    void Plan(const steptest::TSettings& settings);
    // Polls at periodMs until the plan's end or, without one, for durationMs.
    TRecordEnd Run(int periodMs, int durationMs = -1);
    // Each sample placed, until it says stop: the recording ends at once
    // (EExit::Ok, "stopped"), its record kept.
    void Watch(std::function<bool(const sampleplot::TPlaced&)> stop) { FWatch = std::move(stop); }
    // Drive 0, unless the line is gone; the end of a plan or its abort.
    void Centre(const TRecordEnd& end);

    const measure::TMeasurement& Measurement() const { return FMeasurement; }
    // The record as a run, once (none when nothing was recorded).
    std::optional<runs::TRun> TakeRun(bool aborted);

private:
    measure::TMeasurement::THooks Hooks();
    runs::TRun Facts(int periodMs) const;
    void StepAction(steptest::EAction action, uint32_t timeMs);
    void End(EExit code, const QString& why, bool lineUsable);

    TDeviceSession& FSession;
    const uint16_t FKfWord;
    const std::string FPort;
    int FStep = 0;  // bar units of the plan's step
    int FBar;       // the drive bar as the plan moves it
    measure::TDriveLine FDrive;
    const measure::TMeasurement::THooks FHooks;
    measure::TMeasurement FMeasurement;
    std::optional<TRecordEnd> FEnd;
    std::function<bool(const sampleplot::TPlaced&)> FWatch;
    QEventLoop* FLoop = nullptr;
};

}  // namespace cli
