#include "comm/posix/NetDriver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comm/posix/NetPatience.h"
#include "comm/posix/NetSocket.h"
#include "comm/posix/PosixErrors.h"

namespace commapi::posix {

namespace {

using namespace telnet;

constexpr size_t EscapeChunk = 1024;
// Bounds on what a purge drains and what arrives while negotiating: a
// server that floods cannot hold either up for long.
constexpr size_t MaxDrain = 64 * 1024, MaxEarly = 64 * 1024;

bool ResourceShortage(int err) { return err == ENOBUFS || err == ENOMEM; }

}  // namespace

std::unique_ptr<TNetDriver> TNetDriver::Open(const std::string& name, Clock::time_point deadline) {
    const std::optional<TNetAddress> address = ParseNetName(name);
    if (!address) return Fail(ERROR_INVALID_NAME), nullptr;
    const Clock::time_point retryUntil = std::min(deadline, Clock::now() + NetRetryLimit);
    for (;;) {
        DWORD error = ERROR_SUCCESS;
        if (auto driver = Connect(*address, deadline, error)) return driver;
        if (error != ERROR_CONNECTION_ABORTED || Clock::now() + NetRetryPause >= retryUntil)
            return Fail(error), nullptr;
        PatientPoll(nullptr, 0, Clock::now() + NetRetryPause);
    }
}

std::unique_ptr<TNetDriver> TNetDriver::Connect(const TNetAddress& address, Clock::time_point deadline,
                                                DWORD& error) {
    const int fd = ConnectSocket(address, deadline, error);
    if (fd < 0) return nullptr;
    auto driver = std::make_unique<TNetDriver>(fd, address.protocol);
    error = driver->FTelnet ? driver->Negotiate(deadline) : driver->CheckGreeting(deadline);
    return error == ERROR_SUCCESS ? std::move(driver) : nullptr;
}

TNetDriver::TNetDriver(int fd, ENetProtocol protocol)
    : FFd(fd),
      FTelnet(protocol == ENetProtocol::Rfc2217),
      // Binary both ways, so that every byte is data; no go-aheads, as
      // servers expect; the COM-PORT-OPTION on our side, as its client.
      FOptions({OptionBinary, OptionSuppressGoAhead, OptionComPort}, {OptionBinary, OptionSuppressGoAhead}) {}

TNetDriver::~TNetDriver() { close(FFd); }

// Lets the server see the end at once, even while a waiter still holds the device.
void TNetDriver::Released() { (void)shutdown(FFd, SHUT_RDWR); }

// The options first; once the server takes the COM-PORT-OPTION, a query
// about its line, whose answer shows that the server has the device open.
DWORD TNetDriver::Negotiate(Clock::time_point deadline) {
    FOptions.Offer(FOutput.Bytes());
    std::optional<Clock::time_point> answerBy;  // set once the query is out
    for (;;) {
        Flush();
        if (FGone) return ERROR_CONNECTION_ABORTED;  // the device is taken or missing
        const TTelnetOptions::EState comPort = FOptions.Ours(OptionComPort);
        if (comPort == TTelnetOptions::EState::No) return ERROR_NOT_SUPPORTED;
        if (FAnswered) return ERROR_SUCCESS;
        if (comPort == TTelnetOptions::EState::Yes && !answerBy) {
            rfc2217::AppendBaudRateQuery(FOutput.Bytes());
            answerBy = std::min(deadline, Clock::now() + NetAnswerLimit);
            continue;
        }
        pollfd pfd{FFd, short(POLLIN | (FOutput.Empty() ? 0 : POLLOUT)), 0};
        const int ready = PatientPoll(&pfd, 1, answerBy.value_or(deadline));
        if (ready < 0) return Win32Error(errno);
        // No answer to the option: no Telnet server; none to the query: a
        // server that answers no queries, whose line is used as it is.
        if (ready == 0) return answerBy ? ERROR_SUCCESS : ERROR_NOT_SUPPORTED;
        if (!(pfd.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        uint8_t chunk[512];
        bool drained = false;
        const size_t n = Receive(chunk, sizeof chunk, drained);
        if (FEarly.size() + n <= MaxEarly) FEarly.insert(FEarly.end(), chunk, chunk + n);
    }
}

// A raw server says nothing before the device does. A Telnet server reached
// by a socket:// name offers its options at once, and would then take every
// 0xFF of a frame for a command of its own: the frames the controller gets
// would be cut and shifted, parameter values included. So such a server is
// refused, as is one that closes within the wait (ser2net says "Port
// already in use" and closes when another client holds the port). The
// bytes are only peeked: what a raw server sent stays to be read.
DWORD TNetDriver::CheckGreeting(Clock::time_point deadline) {
    const Clock::time_point until = std::min(deadline, Clock::now() + NetGreetingWait);
    short watch = POLLIN;  // none once the first bytes have told: then only a close is waited for
    for (;;) {
        pollfd pfd{FFd, short(watch | POLLRDHUP), 0};
        const int ready = PatientPoll(&pfd, 1, until);
        if (ready < 0) return Win32Error(errno);
        if (ready == 0) return ERROR_SUCCESS;  // still open: a raw server
        if (pfd.revents & (POLLRDHUP | POLLHUP | POLLERR)) return ERROR_CONNECTION_ABORTED;
        uint8_t first[2];
        const ssize_t n = recv(FFd, first, sizeof first, MSG_PEEK | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return ERROR_CONNECTION_ABORTED;
        const bool command = n == 2 && first[0] == IAC && first[1] >= SB && first[1] != IAC;
        if (command) return ERROR_NOT_SUPPORTED;
        if (first[0] != IAC || n == 2) {
            watch = 0;
            continue;
        }
        // A lone 0xFF so far: the next byte tells, if it comes in time.
        if (Clock::now() >= until) return ERROR_SUCCESS;
        if (PatientPoll(nullptr, 0, std::min(until, Clock::now() + std::chrono::milliseconds(1))) < 0)
            return Win32Error(errno);
    }
}

// ------------------------------------------------------------------ settings

void TNetDriver::InitialState(DCB& dcb) {
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    SetDtrControl(dcb, DTR_CONTROL_ENABLE);
    SetRtsControl(dcb, RTS_CONTROL_ENABLE);
}

// The server's line is not read back: the DCB stays what was last set.
DWORD TNetDriver::ReadState(DCB&) { return ERROR_SUCCESS; }

DWORD TNetDriver::WriteState(const DCB& dcb) {
    if (FGone) return FGone;
    const std::optional<rfc2217::TComPortSettings> settings = rfc2217::SettingsOf(dcb);
    if (!settings) return ERROR_INVALID_PARAMETER;
    if (!FTelnet) return ERROR_SUCCESS;  // a raw connection: the server's settings stay
    rfc2217::AppendSettings(FSettingsSent, *settings, FOutput.Bytes());
    FSettingsSent = settings;
    Flush();
    return ERROR_SUCCESS;
}

void TNetDriver::EventsSelected(DWORD mask) {
    if (!FTelnet || FGone) return;
    const rfc2217::TMasks masks = rfc2217::MasksFor(mask);
    if (FMasksSent == masks) return;
    rfc2217::AppendMasks(masks, FOutput.Bytes());
    FMasksSent = masks;
    Flush();
}

// ------------------------------------------------------------------ receiving

TDeviceDriver::TReadResult TNetDriver::Read(uint8_t* buffer, size_t size) {
    TReadResult result;
    if (!FEarly.empty()) {
        result.bytes = std::min(size, FEarly.size());
        std::memcpy(buffer, FEarly.data(), result.bytes);
        FEarly.erase(FEarly.begin(), FEarly.begin() + long(result.bytes));
    } else {
        // Only commands in a full read: more may be waiting.
        do result.bytes = Receive(buffer, size, result.drained);
        while (result.bytes == 0 && !result.drained);
    }
    result.change = std::exchange(FChange, TLineChange{});
    return result;
}

// One receive: its data bytes in `buffer`, commands taken care of.
size_t TNetDriver::Receive(uint8_t* buffer, size_t size, bool& drained) {
    ssize_t n;
    do n = recv(FFd, buffer, size, MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    drained = n < ssize_t(size);
    if (n == 0 || (n < 0 && errno != EAGAIN)) Lost();  // closed or reset by the server, or a dead network
    if (n <= 0) return 0;
    AckAtOnce(FFd);
    if (!FTelnet) return size_t(n);
    const size_t data = FDecoder.Decode(buffer, size_t(n), buffer, *this);
    Flush();  // answers to the server's requests
    return data;
}

void TNetDriver::Negotiation(uint8_t verb, uint8_t option) { FOptions.Received(verb, option, FOutput.Bytes()); }

void TNetDriver::Subnegotiation(uint8_t option, const uint8_t* data, size_t size) {
    if (option != OptionComPort) return;
    const rfc2217::TServerNews news = rfc2217::Interpret(data, size, FModem);
    FChange.events |= news.change.events;
    FChange.errors |= news.change.errors;
    if (news.suspend) FSuspended = *news.suspend;
    if (news.baudRate) FAnswered = true;
}

// ------------------------------------------------------------------ sending

size_t TNetDriver::Write(const uint8_t* data, size_t size, DWORD& error) {
    Flush();
    if (FGone || !FOutput.Empty() || FSuspended) return 0;
    return FTelnet ? SendEscaped(data, size, error) : SendRaw(data, size, error);
}

size_t TNetDriver::SendRaw(const uint8_t* data, size_t size, DWORD& error) {
    const long n = SendSome(FFd, data, size);
    if (n >= 0) return size_t(n);
    if (errno != EAGAIN) SendFailed(errno, error);
    return 0;
}

// Counts a data byte as taken once its wire form went out whole; a 0xFF of
// which only the first half went out is taken too, and its second half
// waits in the output, ahead of anything sent later.
size_t TNetDriver::SendEscaped(const uint8_t* data, size_t size, DWORD& error) {
    size_t taken = 0;
    while (taken < size) {
        const size_t count = std::min(size - taken, EscapeChunk);
        TBytes wire;
        wire.reserve(2 * count);
        AppendData(wire, data + taken, count);
        const long n = SendSome(FFd, wire.data(), wire.size());
        if (n < 0) {
            if (errno != EAGAIN) SendFailed(errno, error);
            return taken;
        }
        const TEscapedProgress progress = EscapedProgress(data + taken, count, size_t(n));
        size_t chunkTaken = progress.taken;
        if (progress.halfPair) {
            FOutput.Bytes().push_back(IAC);
            ++chunkTaken;
        }
        taken += chunkTaken;
        if (chunkTaken < count || !FOutput.Empty()) return taken;
    }
    return taken;
}

void TNetDriver::SendFailed(int err, DWORD& error) {
    if (ResourceShortage(err)) error = Win32Error(err);
    else Lost();
}

void TNetDriver::Flush() {
    if (FGone || FOutput.Empty()) return;
    int err = 0;
    if (FOutput.Flush(FFd, err) == TNetOutput::EResult::Failed && !ResourceShortage(err)) Lost();
}

short TNetDriver::PollEvents(short events) const {
    if (FSuspended) events = short(events & ~POLLOUT);
    if (!FOutput.Empty()) events = short(events | POLLOUT);
    return events;
}

// ------------------------------------------------------------------ queues

void TNetDriver::Purge(bool output, bool input) {
    if (FTelnet && !FGone) {
        rfc2217::AppendPurge(output, input, FOutput.Bytes());
        Flush();
    }
    if (input) Drain();
}

// What the connection holds now is dropped, as a tty's driver drops what it
// received; the server's commands among it still count.
void TNetDriver::Drain() {
    FEarly.clear();
    uint8_t chunk[512];
    for (size_t total = 0; total < MaxDrain && !FGone; total += sizeof chunk) {
        bool drained = false;
        Receive(chunk, sizeof chunk, drained);
        if (drained) break;
    }
}

DWORD TNetDriver::OutputQueueBytes() const {
    int unsent = 0;
    if (ioctl(FFd, SIOCOUTQNSD, &unsent) != 0 || unsent < 0) unsent = 0;
    return DWORD(unsent) + DWORD(FOutput.Size());
}

void TNetDriver::Lost() {
    if (!FGone) FGone = ERROR_GEN_FAILURE;
}

}  // namespace commapi::posix
