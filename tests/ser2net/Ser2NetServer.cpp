#include "tests/ser2net/Ser2NetServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ser2net {

namespace {

using Clock = std::chrono::steady_clock;

// A port nobody listens on now; ser2net binds it a moment later. Should
// another program take it first, Start fails and says so.
uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

}  // namespace

std::string Configuration(EMode mode, const std::string& device, uint16_t port) {
    const std::string accepter = mode == EMode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
    std::ostringstream yaml;
    yaml << "%YAML 1.1\n"
         << "---\n"
         << "connection: &servo\n"
         << "  accepter: " << accepter << ",127.0.0.1," << port << "\n"
         << "  connector: serialdev," << device << ",38400n81,local\n"
         << "  options:\n"
         << "    chardelay: false\n";
    return yaml.str();
}

std::string Program() {
    // Debian installs it in /usr/sbin, which an ordinary user's PATH may lack.
    std::vector<std::string> places = {"/usr/sbin/ser2net", "/usr/local/sbin/ser2net"};
    if (const char* path = std::getenv("PATH")) {
        std::istringstream dirs(path);
        for (std::string dir; std::getline(dirs, dir, ':');)
            if (!dir.empty()) places.push_back(dir + "/ser2net");
    }
    for (const std::string& place : places)
        if (Executable(place)) return place;
    return {};
}

TServer::~TServer() {
    Stop();
    if (!FDir.empty()) {
        std::remove((FDir + "/ser2net.yaml").c_str());
        std::remove((FDir + "/ser2net.log").c_str());
        rmdir(FDir.c_str());
    }
}

bool TServer::Start(EMode mode, const std::string& device, std::string* error, int limitMs) {
    return StartWith(mode, [&](uint16_t port) { return Configuration(mode, device, port); }, error, limitMs);
}

bool TServer::StartWith(EMode mode, const TConfigure& configure, std::string* error, int limitMs) {
    const auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    const std::string program = Program();
    if (program.empty()) return fail("ser2net is not installed (scripts/setup.sh installs it: apt-get install ser2net)");
    if (FDir.empty()) {
        char dir[] = "/tmp/servo-ser2net-XXXXXX";
        if (!mkdtemp(dir)) return fail(std::string("mkdtemp: ") + std::strerror(errno));
        FDir = dir;
    }
    FMode = mode;
    FPort = FreePort();
    if (FPort == 0) return fail("no free port on 127.0.0.1");
    const std::string config = FDir + "/ser2net.yaml", log = FDir + "/ser2net.log";
    std::ofstream(config) << configure(FPort);

    std::vector<std::string> args = {program, "-n", "-d", "-c", config};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int spawned = posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        FPid = -1;
        return fail("spawn " + program + ": " + std::strerror(spawned));
    }
    // Listening is looked up in the kernel's socket table rather than by
    // connecting: a connection would make ser2net open the device, and the
    // test's own connection could then find the port still in use.
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (!Listening()) {
        if (!Running()) return fail("ser2net ended at start: " + Log());
        if (Clock::now() >= deadline) {
            Stop();
            return fail("ser2net did not listen on port " + std::to_string(FPort) + " in time: " + Log());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A socket in the LISTEN state (0A) on 127.0.0.1:port in /proc/net/tcp.
bool TServer::Listening() const {
    std::ifstream table("/proc/net/tcp");
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", unsigned(FPort));
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A") return true;
    }
    return false;
}

std::string TServer::Address() const {
    return std::string(FMode == EMode::Rfc2217 ? "rfc2217" : "socket") + "://127.0.0.1:" + std::to_string(FPort);
}

bool TServer::Running() {
    if (FPid <= 0) return false;
    int status = 0;
    if (waitpid(FPid, &status, WNOHANG) == FPid) {
        FPid = -1;
        return false;
    }
    return true;
}

void TServer::Reap(int signal) {
    if (FPid <= 0) return;
    kill(FPid, signal);
    int status = 0;
    // ser2net ends at once on SIGTERM; should it not, it is killed after a while.
    for (int i = 0; i < 500; ++i) {
        if (waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(FPid, SIGKILL);
    waitpid(FPid, &status, 0);
    FPid = -1;
}

void TServer::Stop() { Reap(SIGTERM); }
void TServer::Kill() { Reap(SIGKILL); }

std::string TServer::Log() const {
    std::ifstream in(FDir + "/ser2net.log");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace ser2net
