// The simulated controller on a serial line: owns the master side of a fresh
// pseudo-terminal (or an existing tty) and answers the console's frames on its
// own serving thread. Every public method may be called from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Clock.h"
#include "ControllerState.h"
#include "Faults.h"
#include "Frame.h"

namespace sim {

struct TSimOptions {
    EClockKind Clock = EClockKind::Wall;
    std::string TtyPath;  // empty: create a pty; otherwise serve this tty (raw, 38400 baud)
    TFaults Faults;
};

class TPtySimulator {
public:
    explicit TPtySimulator(TSimOptions options = {});
    ~TPtySimulator();  // stops
    TPtySimulator(const TPtySimulator&) = delete;
    TPtySimulator& operator=(const TPtySimulator&) = delete;

    // Opens the line and starts serving. False with a reason when it cannot.
    bool Start(std::string* error = nullptr);
    // Slave path of the pty (or the tty served); valid after a successful Start.
    const std::string& Path() const;
    void Stop();
    bool Running() const;

    // Stepped clock only: moves the motor model on; false with the wall clock.
    bool AdvanceClock(uint32_t ms);

    // Log of received command frames (the probe is counted, not logged).
    std::vector<TFrame> Frames() const;
    size_t FrameCount() const;
    bool WaitForFrames(size_t count, std::chrono::milliseconds timeout) const;
    void ClearFrames();
    size_t ProbeCount() const;

    // Controller state; State() brings the motor model up to the clock first.
    TControllerState State() const;
    void SetState(const TControllerState& state);
    void SetMode(uint8_t mode);
    void SetPosition(int32_t position);
    void SetTarget(int32_t target);
    void SetDrive(int16_t drive);
    void SetParam(int index, uint16_t word);
    void SetBank(int bank, const TParamSet& params);

    TFaults Faults() const;
    void SetFaults(const TFaults& faults);

    // Unasked output: arbitrary bytes, or a flood of n bytes, sent as one write.
    void Inject(std::vector<uint8_t> bytes);
    void Flood(size_t count);
    // Closes the line as a pulled cable would: the console's side sees a hang-up.
    void HangUp();

private:
    class TImpl;
    std::unique_ptr<TImpl> FImpl;
};

}  // namespace sim
