#include "tests/support/NetPeer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

constexpr uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr uint8_t ComPort = 44;
enum { Data, Iac, Verb, Sub, SubIac };

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("net peer: ") + what + " failed, errno " + std::to_string(errno));
}

void SendAll(int fd, const Bytes& bytes) {
    size_t done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) done += size_t(n);
        else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

}  // namespace

TNetPeer::TNetPeer(EMode mode, EAnswer answer) : FMode(mode), FAnswer(answer) {
    FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    Check(FListen >= 0, "socket");
    // A small receive window: a client's large write backs up while the peer holds.
    const int small = 4096;
    setsockopt(FListen, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Check(bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
    Check(listen(FListen, 4) == 0, "listen");
    socklen_t length = sizeof address;
    Check(getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length) == 0, "getsockname");
    FPort = ntohs(address.sin_port);
    FWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Check(FWake >= 0, "eventfd");
    FThread = std::thread([this] { Serve(); });
}

TNetPeer::~TNetPeer() {
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    Wake();
    FThread.join();
    if (FClient >= 0) close(FClient);
    close(FListen);
    close(FWake);
}

std::string TNetPeer::Name() const {
    return std::string(FMode == EMode::Raw ? "socket" : "rfc2217") + "://127.0.0.1:" + std::to_string(FPort);
}

void TNetPeer::Wake() {
    const uint64_t one = 1;
    (void)!write(FWake, &one, sizeof one);
}

// The serving thread.
void TNetPeer::Serve() {
    for (;;) {
        int client;
        bool hold;
        {
            std::lock_guard lock(FMutex);
            if (FStop) return;
            client = FClient;
            hold = FHold;
        }
        pollfd fds[3] = {{FWake, POLLIN, 0}, {FListen, POLLIN, 0}, {client, short(hold ? 0 : POLLIN), 0}};
        if (poll(fds, client >= 0 ? 3 : 2, 1000) <= 0) continue;
        if (fds[0].revents) {
            uint64_t count;
            (void)!read(FWake, &count, sizeof count);
        }
        if (fds[1].revents & POLLIN) Accept();
        if (client >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) ReadClient();
    }
}

void TNetPeer::Accept() {
    const int fd = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    std::lock_guard lock(FMutex);
    if (FAnswer == EAnswer::CloseAtOnce) {
        const std::string busy = "Port already in use\r\n";  // what ser2net says then
        (void)send(fd, busy.data(), busy.size(), MSG_NOSIGNAL);
        close(fd);
        ++FConnections;
        return;
    }
    if (FAnswer == EAnswer::Greet) {
        // What ser2net's rfc2217 accepter says first: WILL/DO SUPPRESS-GO-AHEAD,
        // WILL/DONT ECHO, DO/WILL BINARY, DO COM-PORT-OPTION.
        const Bytes greeting{0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x01, 0xFF, 0xFE, 0x01,
                             0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00, 0xFF, 0xFD, 0x2C};
        (void)send(fd, greeting.data(), greeting.size(), MSG_NOSIGNAL);
    }
    if (FClient >= 0) close(FClient);  // one client at a time: the newest
    FClient = fd;
    ++FConnections;
    FState = Data;
    FAnswered.clear();
    FChanged.notify_all();
}

void TNetPeer::ReadClient() {
    uint8_t chunk[4096];
    std::lock_guard lock(FMutex);
    if (FClient < 0) return;
    const ssize_t n = recv(FClient, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n <= 0) {
        if (n < 0 && errno == EAGAIN) return;
        close(FClient);
        FClient = -1;
        FChanged.notify_all();
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        if (FMode == EMode::Raw) FData.push_back(chunk[i]);
        else Parse(chunk[i]);
    }
    FChanged.notify_all();
}

void TNetPeer::Parse(uint8_t byte) {
    switch (FState) {
    case Data:
        if (byte == IAC) FState = Iac;
        else FData.push_back(byte);
        break;
    case Iac:
        if (byte == IAC) {
            FData.push_back(IAC);
            FState = Data;
        } else if (byte >= WILL && byte <= DONT) {
            FVerb = byte;
            FState = Verb;
        } else if (byte == SB) {
            FSub.clear();
            FState = Sub;
        } else {
            FState = Data;
        }
        break;
    case Verb:
        Command(FVerb, byte);
        FState = Data;
        break;
    case Sub:
        if (byte == IAC) FState = SubIac;
        else FSub.push_back(byte);
        break;
    default:  // SubIac
        if (byte == SE) {
            Subnegotiation();
            FState = Data;
        } else {
            FSub.push_back(byte);
            FState = Sub;
        }
        break;
    }
}

void TNetPeer::Command(uint8_t verb, uint8_t option) {
    if (FAnswer == EAnswer::Silent) return;
    // Each option of each side is answered once: no negotiation loops.
    const int key = option + (verb == WILL || verb == WONT ? 256 : 0);
    if (std::find(FAnswered.begin(), FAnswered.end(), key) != FAnswered.end()) return;
    FAnswered.push_back(key);
    const bool known = option == 0 || option == 3;  // binary, suppress go-ahead
    if (verb == WILL) {
        const bool agree = known || (option == ComPort && FAnswer != EAnswer::RefuseComPort);
        Reply({IAC, agree ? DO : DONT, option});
    } else if (verb == DO) {
        Reply({IAC, known ? WILL : WONT, option});
    }
}

void TNetPeer::Subnegotiation() {
    if (FSub.size() < 2 || FSub[0] != ComPort) return;
    Bytes message(FSub.begin() + 1, FSub.end());
    FMessages.push_back(message);
    if (FAnswer == EAnswer::CloseAtQuery || (FAnswer == EAnswer::CloseFirstAtQuery && FConnections == 1)) {
        shutdown(FClient, SHUT_RDWR);
        return;
    }
    // The answer: the command + 100 with the value; a query of the rate is
    // answered with 9600.
    Bytes answer = message;
    answer[0] = uint8_t(answer[0] + 100);
    if (message[0] == 1 && message.size() == 5 && message[1] == 0 && message[2] == 0 && message[3] == 0 &&
        message[4] == 0)
        answer = {101, 0, 0, 0x25, 0x80};
    Bytes wire = {IAC, SB, ComPort};
    for (uint8_t b : answer) {
        wire.push_back(b);
        if (b == IAC) wire.push_back(IAC);
    }
    wire.insert(wire.end(), {IAC, SE});
    Reply(wire);
}

void TNetPeer::Reply(const Bytes& wire) { SendAll(FClient, wire); }

bool TNetPeer::WaitConnected(int timeoutMs) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FClient >= 0; });
}

void TNetPeer::Send(const Bytes& data) {
    if (FMode == EMode::Raw) return SendWire(data);
    Bytes wire;
    for (uint8_t b : data) {
        wire.push_back(b);
        if (b == IAC) wire.push_back(IAC);
    }
    SendWire(wire);
}

// A client that has connected but is not yet accepted gets the bytes once it is.
void TNetPeer::SendWire(const Bytes& wire) {
    std::unique_lock lock(FMutex);
    FChanged.wait_for(lock, std::chrono::seconds(5), [this] { return FClient >= 0; });
    SendAll(FClient, wire);
}

Bytes TNetPeer::Receive(size_t count, int timeoutMs) {
    std::unique_lock lock(FMutex);
    FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return FData.size() >= count; });
    const size_t n = std::min(count, FData.size());
    Bytes got(FData.begin(), FData.begin() + long(n));
    FData.erase(FData.begin(), FData.begin() + long(n));
    return got;
}

std::vector<Bytes> TNetPeer::Messages() {
    std::lock_guard lock(FMutex);
    return FMessages;
}

bool TNetPeer::WaitMessage(uint8_t command, int timeoutMs) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(FMessages.begin(), FMessages.end(), [&](const Bytes& m) { return m[0] == command; });
    });
}

void TNetPeer::Hold(bool on) {
    {
        std::lock_guard lock(FMutex);
        FHold = on;
    }
    Wake();
}

void TNetPeer::Close() {
    {
        std::lock_guard lock(FMutex);
        if (FClient >= 0) close(FClient);
        FClient = -1;
    }
    Wake();
}

void TNetPeer::Reset() {
    std::lock_guard lock(FMutex);
    if (FClient < 0) return;
    const linger abort{1, 0};  // closing with a zero linger sends a reset
    setsockopt(FClient, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(FClient);
    FClient = -1;
    Wake();
}

}  // namespace testsupport
