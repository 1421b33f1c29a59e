#include "PtySimulator.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

#include "Controller.h"
#include "FrameLog.h"
#include "OutputQueue.h"
#include "ProtocolEngine.h"
#include "ReplyShaper.h"
#include "TtyLine.h"

namespace sim {

namespace {

std::unique_ptr<TClock> MakeClock(EClockKind kind) {
    if (kind == EClockKind::Stepped) return std::make_unique<TSteppedClock>();
    return std::make_unique<TWallClock>();
}

constexpr uint8_t FloodByte = 0x55;

}  // namespace

class TPtySimulator::TImpl {
public:
    explicit TImpl(TSimOptions options)
        : Options(std::move(options)),
          Clock(MakeClock(Options.Clock)),
          Controller(*Clock),
          Engine(Controller),
          Faults(Options.Faults),
          Log(Options.FrameLogLimit),
          WakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        Output.SetBaudRate(Faults.BaudRate);
        Output.SetLimit(Options.OutputLimit);
    }
    ~TImpl() {
        Stop();
        if (WakeFd >= 0) close(WakeFd);
    }

    bool Start(std::string* error);
    void Stop();
    void Queue(std::vector<uint8_t> bytes);
    void DrainWake();

    // Changes one part of the controller state under the lock. Any thread.
    template <typename TChange>
    void Modify(TChange change) {
        std::lock_guard guard(Lock);
        TControllerState state = Controller.State();
        change(state);
        Controller.SetState(state);
    }

    TSimOptions Options;
    std::unique_ptr<TClock> Clock;
    TWallClock Real;  // times the output, whichever clock drives the motor

    mutable std::mutex Lock;  // guards everything below up to the line
    mutable std::condition_variable FramesChanged;
    TController Controller;
    TProtocolEngine Engine;
    TReplyShaper Shaper;
    TFaults Faults;
    TOutputQueue Output;
    TFrameLog Log;

    const int WakeFd;  // lives as long as the object, so Queue may always poke it
    TLineFds Line;
    std::string Path;
    std::thread Thread;
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> Serving{false};

private:
    void Serve();
    int PollTimeoutMs();
    bool ReadInput();
    bool Flush();
    bool WriteOut();

    std::vector<uint8_t> Unwritten;  // serving thread only
};

bool TPtySimulator::TImpl::Start(std::string* error) {
    if (Thread.joinable()) {
        if (error) *error = "already serving " + Path;
        return false;
    }
    const bool opened = Options.TtyPath.empty() ? OpenPtyPair(Line, error)
                                                : OpenTty(Options.TtyPath, Line, error);
    if (!opened) return false;
    if (WakeFd < 0) {
        if (error) *error = "eventfd failed";
        CloseLine(Line);
        return false;
    }
    Path = Line.Path;
    StopRequested = false;
    Serving = true;
    Thread = std::thread([this] { Serve(); });
    return true;
}

void TPtySimulator::TImpl::Stop() {
    if (!Thread.joinable()) return;
    StopRequested = true;
    const uint64_t one = 1;
    [[maybe_unused]] auto written = write(WakeFd, &one, sizeof one);
    Thread.join();
    CloseLine(Line);
    DrainWake();
    Unwritten.clear();
    std::lock_guard guard(Lock);
    Output.Clear();
}

// Any thread; the caller must not hold Lock.
void TPtySimulator::TImpl::Queue(std::vector<uint8_t> bytes) {
    {
        std::lock_guard guard(Lock);
        Output.Push(Real.NowUs(), std::move(bytes));
    }
    if (WakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] auto written = write(WakeFd, &one, sizeof one);
    }
}

// Runs on the serving thread: sleeps in poll until input, a wake-up or the
// next due output; ends on Stop or when the line goes away.
void TPtySimulator::TImpl::Serve() {
    while (!StopRequested) {
        pollfd fds[2] = {{Line.Master, short(POLLIN | (Unwritten.empty() ? 0 : POLLOUT)), 0},
                         {WakeFd, POLLIN, 0}};
        const int ready = poll(fds, 2, PollTimeoutMs());
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (fds[1].revents & POLLIN)) DrainWake();
        if (StopRequested) break;
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            if (!ReadInput()) break;
        } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            break;  // the tty went away
        }
        if (!Flush()) break;
    }
    Serving = false;
}

// Serving thread.
int TPtySimulator::TImpl::PollTimeoutMs() {
    if (!Unwritten.empty()) return -1;  // POLLOUT wakes us
    std::lock_guard guard(Lock);
    auto due = Output.NextDueUs();
    if (!due) return -1;
    const int64_t waitUs = std::max<int64_t>(0, *due - Real.NowUs());
    return int((waitUs + 999) / 1000);
}

// Serving thread.
bool TPtySimulator::TImpl::ReadInput() {
    uint8_t buffer[4096];
    const ssize_t got = read(Line.Master, buffer, sizeof buffer);
    if (got == 0) return false;
    if (got < 0) return errno == EAGAIN || errno == EINTR;
    {
        std::lock_guard guard(Lock);
        const int64_t now = Real.NowUs();
        for (const TExchange& exchange : Engine.Feed({buffer, size_t(got)}, Faults)) {
            if (exchange.Probe)
                Log.AddProbe();
            else
                Log.Add(exchange.Frame);
            for (TPiece& piece : Shaper.Shape(exchange, Faults))
                Output.Push(now + piece.OffsetUs, std::move(piece.Bytes));
        }
    }
    FramesChanged.notify_all();
    return true;
}

// Serving thread: writes what is due, a block at a time, so that what waits
// for a console that does not read stays in the bounded queue.
bool TPtySimulator::TImpl::Flush() {
    if (Unwritten.empty()) {
        std::lock_guard guard(Lock);
        Unwritten = Output.TakeDue(Real.NowUs(), WriteBlock);
    }
    return WriteOut();
}

// Serving thread.
bool TPtySimulator::TImpl::WriteOut() {
    if (Unwritten.empty()) return true;
    const ssize_t put = write(Line.Master, Unwritten.data(), Unwritten.size());
    if (put < 0) return errno == EAGAIN || errno == EINTR;
    Unwritten.erase(Unwritten.begin(), Unwritten.begin() + put);
    return true;
}

void TPtySimulator::TImpl::DrainWake() {
    uint64_t count;
    [[maybe_unused]] auto got = read(WakeFd, &count, sizeof count);
}

TPtySimulator::TPtySimulator(TSimOptions options)
    : FImpl(std::make_unique<TImpl>(std::move(options))) {}

TPtySimulator::~TPtySimulator() { Stop(); }

bool TPtySimulator::Start(std::string* error) { return FImpl->Start(error); }
const std::string& TPtySimulator::Path() const { return FImpl->Path; }
void TPtySimulator::Stop() { FImpl->Stop(); }
void TPtySimulator::HangUp() { FImpl->Stop(); }
bool TPtySimulator::Running() const { return FImpl->Serving; }

bool TPtySimulator::AdvanceClock(uint32_t ms) {
    auto* stepped = dynamic_cast<TSteppedClock*>(FImpl->Clock.get());
    if (!stepped) return false;
    stepped->AdvanceMs(ms);
    return true;
}

std::vector<TFrame> TPtySimulator::Frames() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Log.Frames();
}

size_t TPtySimulator::FrameCount() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Log.Count();
}

size_t TPtySimulator::FrameCount(uint8_t code) const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Log.CountOf(code);
}

size_t TPtySimulator::ProbeCount() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Log.Probes();
}

bool TPtySimulator::WaitForFrames(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(FImpl->Lock);
    return FImpl->FramesChanged.wait_for(guard, timeout,
                                         [&] { return FImpl->Log.Count() >= count; });
}

void TPtySimulator::ClearFrames() {
    std::lock_guard guard(FImpl->Lock);
    FImpl->Log.Clear();
}

size_t TPtySimulator::QueuedOutputBytes() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Output.Queued();
}

uint64_t TPtySimulator::DroppedOutputBytes() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Output.Dropped();
}

TControllerState TPtySimulator::State() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Controller.State();
}

void TPtySimulator::SetState(const TControllerState& state) {
    std::lock_guard guard(FImpl->Lock);
    FImpl->Controller.SetState(state);
}

void TPtySimulator::SetMode(uint8_t mode) {
    FImpl->Modify([&](TControllerState& s) { s.Mode = mode; });
}

void TPtySimulator::SetPosition(int32_t position) {
    FImpl->Modify([&](TControllerState& s) { s.Position = position; });
}

void TPtySimulator::SetTarget(int32_t target) {
    FImpl->Modify([&](TControllerState& s) { s.Target = target; });
}

void TPtySimulator::SetDrive(int16_t drive) {
    FImpl->Modify([&](TControllerState& s) { s.Drive = drive; });
}

void TPtySimulator::SetParam(int index, uint16_t word) {
    if (index < 0 || index >= ParamCount) return;
    FImpl->Modify([&](TControllerState& s) { s.Params[size_t(index)] = word; });
}

void TPtySimulator::SetBank(int bank, const TParamSet& params) {
    if (bank < 0 || bank >= BankCount) return;
    FImpl->Modify([&](TControllerState& s) { s.Banks[size_t(bank)] = params; });
}

TFaults TPtySimulator::Faults() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Faults;
}

void TPtySimulator::SetFaults(const TFaults& faults) {
    std::lock_guard guard(FImpl->Lock);
    FImpl->Faults = faults;
    FImpl->Output.SetBaudRate(faults.BaudRate);
}

void TPtySimulator::Inject(std::vector<uint8_t> bytes) { FImpl->Queue(std::move(bytes)); }

void TPtySimulator::Flood(size_t count) { FImpl->Queue(std::vector<uint8_t>(count, FloodByte)); }

}  // namespace sim
