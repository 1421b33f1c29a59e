#include "window/ProgramOptions.h"

namespace options {

namespace {

constexpr const char* ProgramName = "servo-console";

constexpr const char* UsageText =
    "Usage: servo-console [--help | --version]\n"
    "A desktop console for setting up and tuning a servo controller on a serial line.\n"
    "\n"
    "The port list offers:\n"
    "  COM1 .. COM4      /dev/ttyS0 .. /dev/ttyS3\n"
    "  serial devices    found under /dev/serial/by-id, /dev/ttyUSB*, /dev/ttyACM*,\n"
    "                    looked up again each time the list is opened\n"
    "  Симулятор         the built-in simulated controller, on a pseudo-terminal\n"
    "  Другой порт…      asks for the path of any other device, or the address\n"
    "                    of a network serial server:\n"
    "                      rfc2217://HOST:PORT  Telnet with the COM port option\n"
    "                                           (RFC 2217): the console sets the\n"
    "                                           line (38400 8N1) and purges\n"
    "                      socket://HOST:PORT   raw TCP: the server's own settings\n"
    "\n"
    "Serving a controller with ser2net (Debian's ser2net 4, /etc/ser2net.yaml):\n"
    "  connection: &servo\n"
    "    accepter: telnet(rfc2217),tcp,2217      # for rfc2217://HOST:2217\n"
    "    # accepter: tcp,2217                    # for socket://HOST:2217\n"
    "    connector: serialdev,/dev/ttyUSB0,38400n81,local\n"
    "    options:\n"
    "      chardelay: false                      # replies go out at once\n"
    "Then restart ser2net, or run it in the foreground: ser2net -n -d -c FILE.\n"
    "\n"
    "Options:\n"
    "  -h, --help        show this text and exit\n"
    "  --version         show the program name and version and exit\n"
    "\n"
    "The console keeps no settings. More in README.md at the top of the source tree.\n";

int Refuse(const std::string& arg, std::ostream& err) {
    const bool option = !arg.empty() && arg[0] == '-';
    err << ProgramName << ": " << (option ? "unknown option '" : "unexpected argument '") << arg
        << "'\nTry '" << ProgramName << " --help'.\n";
    return 2;
}

}  // namespace

std::optional<int> HandleArguments(const std::vector<std::string>& args, const std::string& version,
                                   std::ostream& out, std::ostream& err) {
    bool help = false;
    bool showVersion = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h")
            help = true;
        else if (arg == "--version")
            showVersion = true;
        else
            return Refuse(arg, err);
    }
    if (help) out << UsageText;
    else if (showVersion) out << ProgramName << ' ' << version << '\n';
    else return std::nullopt;
    return 0;
}

}  // namespace options
