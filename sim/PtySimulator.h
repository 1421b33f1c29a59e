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

#include "sim/Clock.h"
#include "sim/ControllerState.h"
#include "sim/Faults.h"
#include "sim/Frame.h"
#include "sim/Plant.h"

namespace sim {

// At the console's fastest poll (1 ms) the last four seconds of traffic: far
// more than a test looks back over, and a few hundred kilobytes at most.
constexpr size_t DefaultFrameLogLimit = 4096;
// A real controller's transmit FIFO is tiny; this one is big enough for the
// floods and for the replies held back by a delay at a 1 ms poll (about
// 10 KB a second), and small enough that a console that stops reading, or
// garbage answered "-" byte after byte, costs nothing worth noticing.
constexpr size_t DefaultOutputLimit = 64 * 1024;

// The most the serving thread writes at once.
constexpr size_t WriteBlock = 4096;

struct TSimOptions {
    EClockKind Clock = EClockKind::Wall;
    std::string TtyPath = {};  // empty: create a pty; otherwise serve this tty (raw, 38400 baud, 8N1)
    TFaults Faults = {};
    // Frames the log keeps, the most recent ones; 0 keeps all of them, for a
    // test that needs the whole log of a long run.
    size_t FrameLogLimit = DefaultFrameLogLimit;
    // Output bytes held for a console that does not read; the newest beyond
    // it are dropped. 0: no bound.
    size_t OutputLimit = DefaultOutputLimit;
    TPlant Plant = {};  // the motor and its load
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

    // Stepped clock only: moves the motor model and the line's pace on, and
    // returns once the serving thread has acted on the new time (bytes due by
    // then are taken in or written); false with the wall clock.
    bool AdvanceClock(uint32_t ms);
    bool AdvanceClockUs(int64_t us);

    // Log of received command frames: the most recent FrameLogLimit of them,
    // oldest first. The counts take in every frame (and probe) received since
    // the last ClearFrames, whether the log still holds it or not.
    std::vector<TFrame> Frames() const;
    size_t FrameCount() const;
    size_t FrameCount(uint8_t code) const;  // frames with this command code
    size_t ProbeCount() const;
    // Until FrameCount() reaches count; false when the timeout passed first.
    bool WaitForFrames(size_t count, std::chrono::milliseconds timeout) const;
    void ClearFrames();  // empties the log and zeroes the counts

    // Output queued and not yet written (up to OutputLimit, besides one block
    // of WriteBlock bytes being written), and the bytes dropped since the start
    // because the queue was full.
    size_t QueuedOutputBytes() const;
    uint64_t DroppedOutputBytes() const;
    // Bytes the console wrote that are still on their way in at the line's
    // pace: read from the pty, not yet seen by the protocol engine.
    size_t InputOnLine() const;

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

    // The motor's plant, copied whole like the faults; State().Velocity is
    // the true velocity, 'V' reports the measured one.
    TPlant Plant() const;
    void SetPlant(const TPlant& plant);

    // Unasked output: arbitrary bytes, or a flood of n bytes, in one write
    // when no longer than WriteBlock; bound by OutputLimit like any reply.
    void Inject(std::vector<uint8_t> bytes);
    void Flood(size_t count);
    // Closes the line as a pulled cable would: the console's side sees a hang-up.
    void HangUp();

private:
    class TImpl;
    std::unique_ptr<TImpl> FImpl;
};

}  // namespace sim
