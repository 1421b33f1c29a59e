#include "tests/cli/rack/Rack.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace clirack {

namespace {

// Free now; ser2net binds it a moment later (a thief makes Start fail, saying so).
uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

// Looked up in the kernel's table: a test connection would make ser2net open the line.
bool Listening(uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", unsigned(port));
    std::string line, slot, local, remote, state;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream(line) >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A") return true;
    }
    return false;
}

}  // namespace

TRack::TRack(size_t count, ser2net::EMode mode) : FMode(mode) {
    for (size_t i = 0; i < count; ++i) FSims.push_back(std::make_unique<sim::TPtySimulator>());
}

std::string TRack::Configuration(uint16_t lastPort) const {
    const std::string accepter = FMode == ser2net::EMode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
    std::ostringstream yaml;
    yaml << "%YAML 1.1\n---\n";
    for (size_t i = 0; i < FSims.size(); ++i)
        yaml << "connection: &servo" << i << "\n"
             << "  accepter: " << accepter << ",127.0.0.1," << (i < FPorts.size() ? FPorts[i] : lastPort) << "\n"
             << "  connector: serialdev," << FSims[i]->Path() << ",38400n81,local\n"
             << "  options:\n"
             << "    chardelay: false\n";
    return yaml.str();
}

bool TRack::Start(std::string* error) {
    for (auto& sim : FSims)
        if (!sim->Start(error)) return false;
    for (size_t i = 0; i + 1 < FSims.size(); ++i) FPorts.push_back(FreePort());
    if (!FServer.StartWith(FMode, [this](uint16_t port) { return Configuration(port); }, error)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (uint16_t port : FPorts)
        while (!Listening(port)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                if (error) *error = "ser2net does not listen on " + std::to_string(port) + ": " + FServer.Log();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    return true;
}

std::vector<std::string> TRack::Addresses() const {
    const std::string scheme = FMode == ser2net::EMode::Rfc2217 ? "rfc2217" : "socket";
    std::vector<std::string> addresses;
    for (uint16_t port : FPorts) addresses.push_back(scheme + "://127.0.0.1:" + std::to_string(port));
    addresses.push_back(FServer.Address());
    return addresses;
}

}  // namespace clirack
