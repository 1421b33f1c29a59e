// Link transactions per second: SendGetPosition + WaitReply through the port
// object and the controller link against the simulated controller on a pty,
// as a ratio of a bare C++ loop that moves the same bytes over a pty (2 out,
// 4 back) with no port object, event thread or event loop. A third loop, the
// bare one with a relay thread between the line and the caller (its threads
// sleep and wake as the event thread and the main thread do), shows what
// that second thread's wake-ups cost on their own; each loop
// also counts its threads' sleeps (each ends in a wake-up) per transaction.
// Short rounds of the three loops alternate (bare, relay, link), so a change in
// machine load hits them alike; each ratio is the median of the ratios of
// the two loops' rounds in the same pass.
// An argument "link", "bare" or "relay" runs that loop alone, for a profiler.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "bench/ProcessStats.h"
#include "bench/PtyEcho.h"
#include "bench/PtyRelay.h"
#include "bench/Report.h"
#include "comm/CommInt.h"
#include "link/ConsoleLine.h"
#include "link/ControllerLink.h"
#include "sim/PtySimulator.h"

using namespace bench;

namespace {

constexpr int Rounds = 10;
constexpr double RoundSeconds = 0.6;
constexpr int Batch = 32;  // transactions between two looks at the clock
constexpr int32_t Position = -123456;

struct TRound {
    double Rate = 0;        // transactions per second
    uint64_t Count = 0;     // transactions done
    double CpuUs = 0;       // CPU of the whole process per transaction, microseconds
    double Sleeps = 0;      // threads of the process put to sleep per transaction
    uint64_t Failed = 0;    // refused, unparsed, or a wrong value decoded
    uint64_t TimedOut = 0;  // ended by the reply timer
};

// Runs `transact` in batches for one round; it returns false for a failure.
template <typename TTransact>
TRound RunRound(TTransact transact) {
    TRound round;
    uint64_t count = 0;
    const double cpu = ProcessCpuSeconds();
    const uint64_t sleeps = ProcessSleeps();
    const double start = WallSeconds();
    double now = start;
    while (now - start < RoundSeconds) {
        for (int i = 0; i < Batch; ++i) transact(round);
        count += Batch;
        now = WallSeconds();
    }
    round.Count = count;
    round.Rate = double(count) / (now - start);
    round.CpuUs = (ProcessCpuSeconds() - cpu) * 1e6 / double(count);
    round.Sleeps = double(ProcessSleeps() - sleeps) / double(count);
    return round;
}

// The port with the window's line settings, the link on it, and the
// simulated controller (wall clock, as for a user) at the far end.
class TLinkRig {
public:
    bool Start(std::string* error) {
        if (!FSimulator.Start(error)) return false;
        FSimulator.SetPosition(Position);
        FPort.SetDeviceName(FSimulator.Path());
        consoleline::Configure(FPort);
        consoleline::Bind(FPort, FLink);
        FPort.Open();
        if (FLink.ProbeController()) return true;
        *error = "the simulated controller did not answer the probe";
        return false;
    }
    ~TLinkRig() {
        consoleline::Unbind(FPort);
        FPort.Close();
    }

    TRound Round() {
        const TRound round = RunRound([this](TRound& counts) {
            FLink.SendGetPosition();
            // The reply timer runs for a second from the send that started it
            // and is not restarted by later sends: when it fires, whichever
            // transaction is then pending ends timed out, its reply discarded.
            const TLinkState state = FLink.WaitReply();
            if (state == lsTimedOut) ++counts.TimedOut;
            else if (state != lsDone || FLink.Position() != Position) ++counts.Failed;
            FLink.ClearDecoded();  // the next reply must set the position again
        });
        // A timer left running would fire at the start of the next round,
        // after the bare loop's round, and cut its first transaction short.
        FLink.StopReplyTimer();
        return round;
    }

private:
    sim::TPtySimulator FSimulator;
    TComm FPort;
    TControllerLink FLink{FPort};
};

std::vector<uint8_t> ReplyOf(int32_t position) {
    const uint32_t bits = uint32_t(position);
    return {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), '+'};
}

// An echo thread with the simulated controller's 4 reply bytes, and a client
// on the other end: the bare loop, or the bare loop with a relay thread.
template <typename TClient>
class TEchoRig {
public:
    bool Start(std::string* error) {
        return FEcho.Start(error) && FClient.Open(FEcho.SlavePath(), error);
    }
    TRound Round() {
        return RunRound([this](TRound& round) {
            const uint8_t frame[2] = {'p', 0};
            uint8_t reply[4];
            const bool ok = FClient.Transact(frame, sizeof frame, reply, sizeof reply) &&
                            std::vector<uint8_t>(reply, reply + 4) == FReply;
            round.Failed += ok ? 0 : 1;
        });
    }

private:
    const std::vector<uint8_t> FReply = ReplyOf(Position);
    TPtyEcho FEcho{2, FReply};
    TClient FClient;
};

struct TSeries {
    std::vector<double> Rates, CpuUs, Sleeps;
    uint64_t Count = 0, Failed = 0, TimedOut = 0;
    void Add(const TRound& round) {
        Count += round.Count;
        Rates.push_back(round.Rate);
        CpuUs.push_back(round.CpuUs);
        Sleeps.push_back(round.Sleeps);
        Failed += round.Failed;
        TimedOut += round.TimedOut;
    }
};

std::string Rates(const std::vector<double>& rates) {
    std::string text;
    for (double r : rates) text += Fixed(r, 0) + " ";
    return text;
}

void PrintSeries(const char* name, const TSeries& series) {
    std::printf("  %-22s per round: %s/s\n", name, Rates(series.Rates).c_str());
    std::printf("  %-22s CPU per transaction, all threads: %.1f us (median); %llu transactions\n", "",
                Median(series.CpuUs), (unsigned long long)series.Count);
    std::printf("  %-22s threads put to sleep (and woken) per transaction: %.2f (median)\n", "",
                Median(series.Sleeps));
    if (series.Failed)
        std::printf("  %-22s failed or decoded a wrong value: %llu\n", "",
                    (unsigned long long)series.Failed);
}

// Median of the per-round ratios of two loops' rates.
double MedianRatio(const TSeries& a, const TSeries& b) {
    std::vector<double> ratios;
    for (size_t i = 0; i < a.Rates.size() && i < b.Rates.size(); ++i) ratios.push_back(a.Rates[i] / b.Rates[i]);
    return Median(ratios);
}

void PrintReference(const TSeries& link, const TSeries& relay, const TSeries& bare) {
    if (relay.Failed || relay.TimedOut) {
        std::printf("  the relay loop failed a transaction: its ratios are not shown\n");
        return;
    }
    std::printf("  bare loop with a relay thread / bare loop: %.2f (a second thread's wake-ups and their eventfd calls)\n",
                MedianRatio(relay, bare));
    std::printf("  link / bare loop with a relay thread:      %.2f (port object, event loop, simulator)\n",
                MedianRatio(link, relay));
}

bool PrintFigure(const TSeries& link, const TSeries& bare) {
    const double ratio = MedianRatio(link, bare);
    std::printf("  link transactions ended by the reply timer of an earlier send: %llu in %.1f s\n",
                (unsigned long long)link.TimedOut, Rounds * RoundSeconds);
    TFigure figure;
    figure.Name = "link transactions / bare pty loop";
    // The event thread and its blocking hand-over cost a third thread's
    // wake-up per reply that the bare loop does not pay.
    figure.Goal = ">= 0.70";
    figure.Measured = Fixed(ratio, 2);
    figure.Raw = Fixed(Median(link.Rates), 0) + " vs " + Fixed(Median(bare.Rates), 0) +
                 " transactions/s; median ratio of " + std::to_string(Rounds) + " pairs of " +
                 Fixed(RoundSeconds, 1) + " s rounds";
    figure.Pass = ratio >= 0.7 && link.Failed == 0 && bare.Failed == 0;
    return Print(figure);
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "bench_link: %s\n", what.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Heading("link transactions per second ('p' + WaitReply) vs a bare pty echo loop");
    const std::string only = argc > 1 ? argv[1] : "";
    std::string error;
    TLinkRig linkRig;
    TEchoRig<TPtyClient> bareRig;
    TEchoRig<TPtyRelayClient> relayRig;
    if (!linkRig.Start(&error) || !bareRig.Start(&error) || !relayRig.Start(&error)) return Fail(error);

    TSeries link, bare, relay;
    const auto runs = [&only](const char* loop) { return only.empty() || only == loop; };
    for (int r = 0; r < Rounds; ++r) {
        if (runs("bare")) bare.Add(bareRig.Round());
        if (runs("relay")) relay.Add(relayRig.Round());
        if (runs("link")) link.Add(linkRig.Round());
    }
    if (runs("bare")) PrintSeries("bare pty echo loop", bare);
    if (runs("relay")) PrintSeries("bare + relay thread", relay);
    if (runs("link")) PrintSeries("link + simulator", link);
    if (!only.empty()) return 0;  // one loop alone has no ratio
    PrintReference(link, relay, bare);
    return PrintFigure(link, bare) ? 0 : 1;
}
