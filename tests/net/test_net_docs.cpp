// The ser2net configurations a user is shown, in the README and in
// `servo-console --help`, served by the installed ser2net in front of the
// simulated controller and reached by the console: the docs are not wrong.
#include <fstream>
#include <regex>
#include <sstream>

#include <QProcess>

#include "tests/console/LinkFixture.h"
#include "tests/support/NetFixture.h"

namespace {

using namespace nettest;

struct TShownConfig {
    std::string where;
    std::string yaml;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every ```yaml block of the README.
std::vector<TShownConfig> ReadmeConfigs() {
    const std::string readme = ReadFile(SERVO_SOURCE_DIR "/README.md");
    std::vector<TShownConfig> configs;
    const std::regex block("```yaml\n([\\s\\S]*?)```");
    for (auto it = std::sregex_iterator(readme.begin(), readme.end(), block); it != std::sregex_iterator(); ++it)
        configs.push_back({"README block " + std::to_string(configs.size() + 1), (*it)[1].str()});
    return configs;
}

// The connection shown by --help, from "connection:" to the options' end, unindented.
TShownConfig HelpConfig() {
    QProcess process;
    process.start(SERVO_CONSOLE_BINARY, {"--help"});
    process.waitForFinished(60000);
    std::istringstream help(process.readAllStandardOutput().toStdString());
    std::string yaml;
    bool inside = false;
    for (std::string line; std::getline(help, line);) {
        if (line.find("connection:") != std::string::npos) inside = true;
        if (!inside) continue;
        if (line.rfind("  ", 0) != 0) break;
        yaml += line.substr(2) + "\n";
    }
    return {"--help", yaml};
}

// The user's lines for this machine: the simulator's pty in place of the
// adapter, 127.0.0.1 and a free port in place of the port shown.
std::string ForThisMachine(std::string yaml, const std::string& device, uint16_t port) {
    yaml = std::regex_replace(yaml, std::regex("/dev/ttyUSB0"), device);
    yaml = std::regex_replace(yaml, std::regex("tcp,2217"), "tcp,127.0.0.1," + std::to_string(port));
    if (yaml.rfind("%YAML", 0) != 0) yaml = "%YAML 1.1\n---\n" + yaml;
    return yaml;
}

ser2net::EMode ModeOf(const std::string& yaml) {
    const std::regex accepter("^\\s*accepter:\\s*telnet\\(rfc2217\\)", std::regex::multiline);
    return std::regex_search(yaml, accepter) ? ser2net::EMode::Rfc2217 : ser2net::EMode::Raw;
}

TEST(NetDocs, TheShownConfigurationsServeTheController) {
    std::vector<TShownConfig> configs = ReadmeConfigs();
    ASSERT_EQ(configs.size(), 1u) << "one block, the other mode told in a sentence";
    ASSERT_EQ(ModeOf(configs[0].yaml), ser2net::EMode::Rfc2217);
    // "for `socket://` the accepter is `tcp,2217`"
    configs.push_back({"README block 1 with the raw accepter",
                       std::regex_replace(configs[0].yaml, std::regex("telnet\\(rfc2217\\),tcp,2217"), "tcp,2217")});
    ASSERT_EQ(ModeOf(configs[1].yaml), ser2net::EMode::Raw);
    configs.push_back(HelpConfig());
    ASSERT_FALSE(configs.back().yaml.empty()) << "--help shows no configuration";
    for (const TShownConfig& shown : configs) {
        SCOPED_TRACE(shown.where + ":\n" + shown.yaml);
        sim::TSimOptions options;
        options.Clock = sim::EClockKind::Stepped;
        sim::TPtySimulator sim(options);
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        ser2net::TServer server;
        const ser2net::EMode mode = ModeOf(shown.yaml);
        ASSERT_TRUE(server.StartWith(
            mode, [&](uint16_t port) { return ForThisMachine(shown.yaml, sim.Path(), port); }, &error))
            << error;

        TComm port;
        consoleline::Configure(port);
        port.SetDeviceName(server.Address());
        TRecordingListener listener;
        TControllerLink link(port, &listener);
        link.SetProbePause([&port](int) { testsupport::WaitWithoutEvents([&port] { return port.InQueCount() >= 1; }); });
        consoleline::Bind(port, link);
        port.Open();
        EXPECT_TRUE(link.ProbeController());
        EXPECT_TRUE(link.SendIdentify());
        EXPECT_EQ(link.WaitReply(), lsDone);
        consoleline::Unbind(port);
        port.Close();
    }
}

}  // namespace
