// Inside of TPtySimulator: the controller, its protocol engine and faults,
// the line's two directions, and the serving thread that moves bytes between
// them and the pty. Private to the simulator's own files.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/Controller.h"
#include "sim/FrameLog.h"
#include "sim/LinePacer.h"
#include "sim/LineReceiver.h"
#include "sim/OutputQueue.h"
#include "sim/ProtocolEngine.h"
#include "sim/PtySimulator.h"
#include "sim/ReplyShaper.h"
#include "sim/RxFifo.h"
#include "sim/TtyLine.h"

namespace sim {

class TPtySimulator::TImpl {
public:
    explicit TImpl(TSimOptions options);
    ~TImpl();

    bool Start(std::string* error);
    void Stop();
    void Queue(std::vector<uint8_t> bytes);
    // Stepped clock only; returns once the serving thread has acted on the new time.
    bool AdvanceClock(int64_t us);
    void SetFaults(const TFaults& faults);

    // Changes one part of the controller state under the lock. Any thread.
    template <typename TChange>
    void Modify(TChange change) {
        std::lock_guard guard(Lock);
        TControllerState state = Controller.State();
        change(state);
        Controller.SetState(state);
    }

    TSimOptions Options;
    std::unique_ptr<TClock> Clock;  // drives the motor model and the line's pace
    TWallClock Real;                // times the reply faults, whichever clock is in use

    mutable std::mutex Lock;  // guards everything below up to the line
    mutable std::condition_variable FramesChanged;
    TController Controller;
    TProtocolEngine Engine;
    TReplyShaper Shaper;
    TFaults Faults;
    TOutputQueue Output;
    TLineReceiver Receiver;   // the console's bytes until they are in
    TLinePacer Transmitter;   // the pace at which Output leaves
    TRxFifo RxFifo;           // how the console's port hands over what left
    TCharFrame LineFrame;     // a served tty's frame as last read; 8N1 on a pty
    TFrameLog Log;
    int64_t PassedUs = -1;    // the clock's reading in the last finished pass
    std::condition_variable Passed;

    const int WakeFd;  // lives as long as the object, so Queue may always poke it
    TLineFds Line;
    std::string Path;
    std::thread Thread;
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> Serving{false};

private:
    void Poke();
    void DrainWake();
    void ApplyLineTiming();

    // Serving thread.
    void Serve();
    int WaitForLine();
    std::optional<int64_t> WaitUs();
    bool ReadInput();
    bool Pass();
    // Line times in nanoseconds, real ones (the reply faults') in microseconds.
    bool TakeIn(int64_t lineNs, int64_t realNow);
    void SendOut(int64_t readyNs, int64_t lineNs, int64_t realNow);
    void NotePass(int64_t lineUs);
    bool WriteOut();

    std::vector<uint8_t> Unwritten;  // serving thread only
};

}  // namespace sim
