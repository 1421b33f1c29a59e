// A connection to a network serial server behind a device: raw TCP
// ("socket://host:port", the server keeps its own line settings) or Telnet
// with the COM-PORT-OPTION ("rfc2217://host:port"), where the settings of
// the DCB, the purges and the notification masks travel as RFC 2217
// messages, 0xFF data bytes as IAC IAC, and the server's line and modem
// notifications become the port's events and errors.
//
// A reset or closed connection is a line that went away, as a hung-up tty:
// every transfer then fails with ERROR_GEN_FAILURE.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "comm/posix/NetAddress.h"
#include "comm/posix/NetOutput.h"
#include "comm/posix/PosixDriver.h"
#include "comm/posix/Rfc2217.h"
#include "comm/posix/TelnetCodec.h"
#include "comm/posix/TelnetOptions.h"

namespace commapi::posix {

// The longest an open may take, name lookup, connection and negotiation
// together: the port is opened on the window's thread.
constexpr std::chrono::milliseconds NetOpenLimit{5000};
// How long an RFC 2217 server may take to answer the opening query about
// its line before it is taken to be one that answers no queries.
constexpr std::chrono::milliseconds NetAnswerLimit{2000};
// A server still closing this console's last connection closes a new one at
// once, as it does when another client holds the port: the connection is
// tried again, every NetRetryPause, for this long before that is believed.
constexpr std::chrono::milliseconds NetRetryLimit{2000};
constexpr std::chrono::milliseconds NetRetryPause{100};
// How long a raw connection is watched for a Telnet server's greeting
// (ser2net's comes within milliseconds of the connection) before the server
// is taken to be a raw one.
constexpr std::chrono::milliseconds NetGreetingWait{300};

class TNetDriver final : public TDeviceDriver, private telnet::TTelnetSink {
public:
    using Clock = std::chrono::steady_clock;

    // Connects and, for RFC 2217, negotiates, giving up at `deadline`; null
    // with the last error set: ERROR_INVALID_NAME, ERROR_BAD_NET_NAME,
    // ERROR_CONNECTION_REFUSED, ERROR_HOST_UNREACHABLE,
    // ERROR_NETWORK_UNREACHABLE, ERROR_SEM_TIMEOUT (no connection in time),
    // ERROR_NOT_SUPPORTED (rfc2217: the server refused or never answered the
    // COM-PORT-OPTION; socket: the server speaks Telnet),
    // ERROR_CONNECTION_ABORTED (it closed the connection).
    static std::unique_ptr<TNetDriver> Open(const std::string& name, Clock::time_point deadline);
    TNetDriver(int fd, ENetProtocol protocol);
    ~TNetDriver() override;

    int Fd() const override { return FFd; }
    void InitialState(DCB& dcb) override;
    DWORD ReadState(DCB& dcb) override;
    DWORD WriteState(const DCB& dcb) override;
    void EventsSelected(DWORD mask) override;
    TReadResult Read(uint8_t* buffer, size_t size) override;
    size_t Write(const uint8_t* data, size_t size, DWORD& error) override;
    void Flush() override;
    short PollEvents(short events) const override;
    void Purge(bool output, bool input) override;
    DWORD OutputQueueBytes() const override;
    DWORD Gone() const override { return FGone; }
    void Released() override;

private:
    static std::unique_ptr<TNetDriver> Connect(const TNetAddress& address, Clock::time_point deadline,
                                               DWORD& error);
    DWORD Negotiate(Clock::time_point deadline);
    DWORD CheckGreeting(Clock::time_point deadline);
    size_t Receive(uint8_t* buffer, size_t size, bool& drained);
    size_t SendRaw(const uint8_t* data, size_t size, DWORD& error);
    size_t SendEscaped(const uint8_t* data, size_t size, DWORD& error);
    void SendFailed(int err, DWORD& error);
    void Drain();
    void Lost();

    void Negotiation(uint8_t verb, uint8_t option) override;
    void Subnegotiation(uint8_t option, const uint8_t* data, size_t size) override;

    const int FFd;
    const bool FTelnet;
    DWORD FGone = ERROR_SUCCESS;
    telnet::TTelnetDecoder FDecoder;
    telnet::TTelnetOptions FOptions;
    TNetOutput FOutput;
    std::vector<uint8_t> FEarly;  // data that came while the options were negotiated
    TLineChange FChange;          // the server's notifications since the last read
    rfc2217::TModemState FModem;
    std::optional<rfc2217::TComPortSettings> FSettingsSent;
    std::optional<rfc2217::TMasks> FMasksSent;
    bool FSuspended = false;  // the server asked us to stop sending
    bool FAnswered = false;   // the server answered the query about its rate
};

}  // namespace commapi::posix
