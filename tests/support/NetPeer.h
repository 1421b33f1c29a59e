// The far end of a network device for tests: a TCP server on 127.0.0.1 (a
// free port of its own) that plays a raw byte stream, or an RFC 2217 server
// that answers the option negotiation and the client's messages the way a
// serial server does, unescapes the data and keeps every COM-PORT-OPTION
// message it got. It serves on a thread of its own, since the device's open
// waits for the answers; the test reads and writes through it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/PtyPair.h"

namespace testsupport {

class TNetPeer {
public:
    enum class EMode { Raw, Rfc2217 };
    // How an RFC 2217 peer answers.
    enum class EAnswer {
        Normal,        // agrees to the options, answers every message
        RefuseComPort, // DONT COM-PORT-OPTION
        Silent,        // never answers Telnet: a raw server behind an rfc2217:// name
        CloseAtQuery,  // agrees, then closes on the first message (its device is taken)
        CloseFirstAtQuery,  // so with the first connection only (it was still closing the last one)
        Greet,         // offers its options as a client connects, as ser2net's Telnet accepter does
        CloseAtOnce,   // says the port is in use and closes each connection as it comes
    };

    explicit TNetPeer(EMode mode, EAnswer answer = EAnswer::Normal);  // throws when it cannot listen
    ~TNetPeer();
    TNetPeer(const TNetPeer&) = delete;
    TNetPeer& operator=(const TNetPeer&) = delete;

    uint16_t Port() const { return FPort; }
    // "socket://127.0.0.1:<port>" or "rfc2217://127.0.0.1:<port>".
    std::string Name() const;
    bool WaitConnected(int timeoutMs = 5000);

    // Data to the client (0xFF doubled in RFC 2217 mode); wire bytes as given.
    void Send(const Bytes& data);
    void SendText(const std::string& text) { Send(BytesOf(text)); }
    void SendWire(const Bytes& wire);
    // Data bytes from the client: waits until `count` came or the time is up.
    Bytes Receive(size_t count, int timeoutMs = 5000);
    std::string ReceiveText(size_t count, int timeoutMs = 5000) { return TextOf(Receive(count, timeoutMs)); }
    // The COM-PORT-OPTION messages received so far (command byte first).
    std::vector<Bytes> Messages();
    // Waits until a message with this command came; the messages received then.
    bool WaitMessage(uint8_t command, int timeoutMs = 5000);
    // Reading from the client stops (its writes back up) or goes on.
    void Hold(bool on);
    // Ends the client's connection: an orderly close, or a reset.
    void Close();
    void Reset();

private:
    void Serve();
    void Accept();
    void ReadClient();
    void Parse(uint8_t byte);
    void Command(uint8_t verb, uint8_t option);
    void Subnegotiation();
    void Reply(const Bytes& wire);  // under the lock, from the serving thread
    void Wake();

    const EMode FMode;
    const EAnswer FAnswer;
    int FListen = -1, FWake = -1;
    uint16_t FPort = 0;
    std::thread FThread;

    std::mutex FMutex;
    std::condition_variable FChanged;
    int FClient = -1;
    int FConnections = 0;
    bool FStop = false, FHold = false;
    Bytes FData;
    std::vector<Bytes> FMessages;
    std::vector<int> FAnswered;  // options already answered (+256: the peer's own side)
    // The parser's state.
    int FState = 0;
    uint8_t FVerb = 0;
    Bytes FSub;
};

}  // namespace testsupport
