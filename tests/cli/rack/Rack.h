// A rack of simulated controllers behind one ser2net: one configuration
// file, one connection a controller on a port of its own on 127.0.0.1, as a
// terminal server in front of several serial lines. No test framework here:
// the CLI's tests and its benchmark both use it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/PtySimulator.h"
#include "tests/ser2net/Ser2NetServer.h"

namespace clirack {

class TRack {
public:
    TRack(size_t count, ser2net::EMode mode);
    // Starts the simulators and ser2net, and waits until every connection listens.
    bool Start(std::string* error);
    sim::TPtySimulator& Sim(size_t i) { return *FSims[i]; }
    // "rfc2217://127.0.0.1:<port>" (or socket://), one a controller, in order.
    std::vector<std::string> Addresses() const;

private:
    std::string Configuration(uint16_t lastPort) const;

    ser2net::EMode FMode;
    std::vector<std::unique_ptr<sim::TPtySimulator>> FSims;
    std::vector<uint16_t> FPorts;  // all but the last controller's; the server picks that one
    ser2net::TServer FServer;
};

}  // namespace clirack
