// The ser2net daemon as a child process: one connection from 127.0.0.1 on a
// free port of its own to a serial device (a simulator's pty), in either
// mode, with the configuration the README gives a user. Started in the
// foreground; stopped (or killed, as a crash) by its owner; never outlives it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <sys/types.h>

namespace ser2net {

enum class EMode { Rfc2217, Raw };

// The YAML configuration of one connection, as the README shows it.
std::string Configuration(EMode mode, const std::string& device, uint16_t port);

// The installed program; empty when ser2net is not installed.
std::string Program();

class TServer {
public:
    TServer() = default;
    ~TServer();  // stops
    TServer(const TServer&) = delete;
    TServer& operator=(const TServer&) = delete;

    // Writes the configuration, starts ser2net and waits (up to `limitMs`)
    // until it listens. False with a reason when it does not.
    bool Start(EMode mode, const std::string& device, std::string* error, int limitMs = 10000);
    // The same with a configuration of the caller's, made for the port given
    // (a user's lines, for instance); it must listen on 127.0.0.1 there.
    using TConfigure = std::function<std::string(uint16_t port)>;
    bool StartWith(EMode mode, const TConfigure& configure, std::string* error, int limitMs = 10000);
    // "rfc2217://127.0.0.1:<port>" or "socket://127.0.0.1:<port>".
    std::string Address() const;
    uint16_t Port() const { return FPort; }
    bool Running();
    void Stop();  // SIGTERM, then waits for the end
    void Kill();  // SIGKILL: the server dies as in a crash
    // What the server printed (it runs with -d: its log goes to stdout).
    std::string Log() const;

private:
    bool Listening() const;
    void Reap(int signal);

    EMode FMode = EMode::Rfc2217;
    pid_t FPid = -1;
    uint16_t FPort = 0;
    std::string FDir;  // the configuration and the log
};

}  // namespace ser2net
