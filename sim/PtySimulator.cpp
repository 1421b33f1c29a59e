// The simulator's serving thread: the line's pace in both directions, the
// protocol engine between them, and the pty.
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "sim/SimService.h"

namespace sim {

namespace {

std::unique_ptr<TClock> MakeClock(EClockKind kind) {
    if (kind == EClockKind::Stepped) return std::make_unique<TSteppedClock>();
    return std::make_unique<TWallClock>();
}

// Long enough for any pass on a loaded machine; only a hung serving thread
// makes AdvanceClock wait this long.
constexpr auto PassLimit = std::chrono::seconds(10);

int64_t CeilUs(int64_t ns) { return (ns + 999) / 1000; }

// The nearer of two waits; nothing stands for no limit.
std::optional<int64_t> Sooner(std::optional<int64_t> a, std::optional<int64_t> b) {
    if (!a) return b;
    if (!b) return a;
    return std::min(*a, *b);
}

}  // namespace

TPtySimulator::TImpl::TImpl(TSimOptions options)
    : Options(std::move(options)),
      Clock(MakeClock(Options.Clock)),
      Controller(*Clock),
      Engine(Controller),
      Faults(Options.Faults),
      Log(Options.FrameLogLimit),
      WakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    Output.SetLimit(Options.OutputLimit);
    Controller.SetPlant(Options.Plant);
    ApplyLineTiming();
}

TPtySimulator::TImpl::~TImpl() {
    Stop();
    if (WakeFd >= 0) close(WakeFd);
}

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
    Poke();
    Thread.join();
    CloseLine(Line);
    DrainWake();
    Unwritten.clear();
    std::lock_guard guard(Lock);
    Output.Clear();
    Receiver.Clear();
    Transmitter.Reset();
    RxFifo.Clear();
}

// Any thread; the caller must not hold Lock.
void TPtySimulator::TImpl::Queue(std::vector<uint8_t> bytes) {
    {
        std::lock_guard guard(Lock);
        Output.Push(Real.NowUs(), std::move(bytes));
    }
    Poke();
}

// Any thread; the caller must not hold Lock.
bool TPtySimulator::TImpl::AdvanceClock(int64_t us) {
    auto* stepped = dynamic_cast<TSteppedClock*>(Clock.get());
    if (!stepped) return false;
    stepped->AdvanceUs(us);
    const int64_t target = stepped->NowUs();
    Poke();
    std::unique_lock guard(Lock);
    Passed.wait_for(guard, PassLimit, [&] { return PassedUs >= target || !Serving; });
    return true;
}

// Any thread; the caller must not hold Lock.
void TPtySimulator::TImpl::SetFaults(const TFaults& faults) {
    {
        std::lock_guard guard(Lock);
        Faults = faults;
        ApplyLineTiming();
    }
    Poke();  // a new pace may bring the next byte nearer
}

// Caller holds Lock (or owns the object alone).
void TPtySimulator::TImpl::ApplyLineTiming() {
    const int64_t byteNs = ByteTimeNs(Faults.BaudRate, Faults.Frame.value_or(LineFrame));
    Receiver.SetByteNs(byteNs);
    Transmitter.SetByteNs(byteNs);
    RxFifo.SetByteNs(byteNs);
    RxFifo.SetTrigger(Faults.RxFifo);
}

void TPtySimulator::TImpl::Poke() {
    if (WakeFd < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] auto written = write(WakeFd, &one, sizeof one);
}

void TPtySimulator::TImpl::DrainWake() {
    uint64_t count;
    [[maybe_unused]] auto got = read(WakeFd, &count, sizeof count);
}

// Runs on the serving thread: sleeps until input, a wake-up or the next byte
// due on the line; ends on Stop or when the line goes away.
void TPtySimulator::TImpl::Serve() {
    // Wake-ups to the microsecond: a byte at 38400 baud takes 260 us, and the
    // default slack of 50 us would stretch every exchange.
    prctl(PR_SET_TIMERSLACK, 1UL);
    while (!StopRequested) {
        pollfd fds[2] = {{Line.Master, short(POLLIN | (Unwritten.empty() ? 0 : POLLOUT)), 0},
                         {WakeFd, POLLIN, 0}};
        const std::optional<int64_t> waitUs = WaitUs();
        const timespec wait{time_t(waitUs.value_or(0) / 1'000'000),
                            long(waitUs.value_or(0) % 1'000'000 * 1000)};
        const int ready = ppoll(fds, 2, waitUs ? &wait : nullptr, nullptr);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0 && (fds[1].revents & POLLIN)) DrainWake();
        if (StopRequested) break;
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            if (!ReadInput()) break;
        } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            break;  // the tty went away
        }
        if (!Pass()) break;
    }
    {
        std::lock_guard guard(Lock);
        Serving = false;
    }
    Passed.notify_all();
}

// Serving thread: how long to sleep at most; nothing: until woken. Output
// that cannot be written yet waits for POLLOUT instead.
std::optional<int64_t> TPtySimulator::TImpl::WaitUs() {
    std::lock_guard guard(Lock);
    std::optional<int64_t> wait;
    if (auto done = Receiver.NextDoneNs()) wait = Clock->UsUntil(CeilUs(*done));
    if (auto due = RxFifo.NextTakeNs()) wait = Sooner(wait, Clock->UsUntil(CeilUs(*due)));
    if (!Unwritten.empty()) return wait;
    if (auto done = Transmitter.NextDoneNs()) return Sooner(wait, Clock->UsUntil(CeilUs(*done)));
    if (auto due = Output.NextDueUs()) return Sooner(wait, Real.UsUntil(*due));
    return wait;
}

// Serving thread: the console's bytes are on the line from now on.
bool TPtySimulator::TImpl::ReadInput() {
    uint8_t buffer[4096];
    const ssize_t got = read(Line.Master, buffer, sizeof buffer);
    if (got == 0) return false;
    if (got < 0) return errno == EAGAIN || errno == EINTR;
    std::lock_guard guard(Lock);
    if (!Options.TtyPath.empty()) {
        // Whoever set the tty last decides its frame; a pty has none of its own.
        if (auto frame = TtyCharFrame(Line.Master); frame && *frame != LineFrame) {
            LineFrame = *frame;
            ApplyLineTiming();
        }
    }
    Receiver.Push(Clock->NowUs() * 1000, {buffer, size_t(got)});
    return true;
}

// Serving thread: takes in what is in, sends out what the line has carried,
// writes it.
bool TPtySimulator::TImpl::Pass() {
    int64_t lineUs = 0;
    bool tookIn = false;
    {
        std::lock_guard guard(Lock);
        lineUs = Clock->NowUs();
        const int64_t lineNs = lineUs * 1000;
        const int64_t realNow = Real.NowUs();
        tookIn = TakeIn(lineNs, realNow);
        SendOut(lineNs, lineNs, realNow);
    }
    if (tookIn) FramesChanged.notify_all();
    const bool open = WriteOut();
    NotePass(lineUs);
    return open;
}

// Serving thread, Lock held: feeds the engine every byte that is in by now.
// A reply starts on the line when its command's last byte was in, not when
// this pass came round.
bool TPtySimulator::TImpl::TakeIn(int64_t lineNs, int64_t realNow) {
    bool any = false;
    while (auto received = Receiver.Take(lineNs)) {
        for (const TExchange& exchange : Engine.Feed({&received->Byte, 1}, Faults)) {
            any = true;
            if (exchange.Probe)
                Log.AddProbe();
            else
                Log.Add(exchange.Frame);
            for (TPiece& piece : Shaper.Shape(exchange, Faults))
                Output.Push(realNow + piece.OffsetUs, std::move(piece.Bytes));
            SendOut(received->DoneNs, lineNs, realNow);
        }
    }
    return any;
}

// Serving thread, Lock held: moves the due bytes the line has carried by now
// (at most a block in all) into the console's receiver, and what that hands
// over to be written.
void TPtySimulator::TImpl::SendOut(int64_t readyNs, int64_t lineNs, int64_t realNow) {
    const size_t pending = Unwritten.size() + RxFifo.Held();
    const size_t room = WriteBlock > pending ? WriteBlock - pending : 0;
    const size_t waiting = std::min(Output.DueBytes(realNow), room);
    const size_t carried = Transmitter.Carry(readyNs, lineNs, waiting);
    if (carried > 0) RxFifo.Put(Output.TakeDue(realNow, carried), Transmitter.LastDoneNs());
    const std::vector<uint8_t> bytes = RxFifo.Take(lineNs);
    Unwritten.insert(Unwritten.end(), bytes.begin(), bytes.end());
}

// Serving thread: AdvanceClock waits for this.
void TPtySimulator::TImpl::NotePass(int64_t lineUs) {
    {
        std::lock_guard guard(Lock);
        PassedUs = lineUs;
    }
    Passed.notify_all();
}

// Serving thread.
bool TPtySimulator::TImpl::WriteOut() {
    if (Unwritten.empty()) return true;
    const ssize_t put = write(Line.Master, Unwritten.data(), Unwritten.size());
    if (put < 0) return errno == EAGAIN || errno == EINTR;
    Unwritten.erase(Unwritten.begin(), Unwritten.begin() + put);
    return true;
}

}  // namespace sim
