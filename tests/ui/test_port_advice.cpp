// The line of advice under a port error: from the codes with a stand-in file
// system, from real failed opens of nodes in a temporary directory, and the
// rights check as a user who is not root.
#include <fcntl.h>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <thread>

#include <QTemporaryDir>

#include "comm/CommInt.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "window/PortAdvice.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;
using portadvice::ENodeKind;

namespace {

// What each kind of advice must say besides the device path; "" for none.
const char* const Rights = "sudo usermod -aG dialout $USER и войдите в систему заново";
const char* const Busy = "занят другой программой";
const char* const NotFound = "не найдено";
const char* const NotSerial = "не последовательный порт";
const char* const NoHardware = "не отвечает";

void ExpectAdvice(const QString& advice, const char* says, const std::string& path) {
    if (!*says) {
        EXPECT_EQ(advice, "");
        return;
    }
    EXPECT_TRUE(advice.contains(QString::fromUtf8(says)) && advice.contains(QString::fromStdString(path)) &&
                !advice.contains('\n'))
        << path << ": " << advice.toStdString();
}

// The code of the component's error on opening `device`; 0 when it opened.
int32_t OpenError(const std::string& device) {
    TComm port;
    port.SetDeviceName(device);
    try {
        port.Open();
    } catch (const ECommError& e) {
        return e.ErrorCode;
    }
    return 0;
}

// A node whose device no driver serves: major 60 is set aside for local use.
bool MakeNodeWithoutDriver(const std::string& path, mode_t mode) {
    return mknod(path.c_str(), S_IFCHR | mode, makedev(60, 0)) == 0 && chmod(path.c_str(), mode) == 0;
}

}  // namespace

TEST(TPortAdvice, CauseFromTheCodeAndTheNode) {
    const struct {
        std::string device;
        int32_t code;
        ENodeKind kind;
        bool mayReadWrite;
        const char* says;
        std::string path;
    } cases[] = {
        {"COM1", 5, ENodeKind::CharDevice, false, Rights, "/dev/ttyS0"},
        {"\\\\.\\COM12", 5, ENodeKind::CharDevice, true, Busy, "/dev/ttyS11"},
        {"/dev/ttyUSB0", 5, ENodeKind::Other, false, NotSerial, "/dev/ttyUSB0"},
        {"/dev/ttyUSB0", 5, ENodeKind::Missing, false, NotFound, "/dev/ttyUSB0"},
        {"com4", 2, ENodeKind::Missing, false, NotFound, "/dev/ttyS3"},
        {"COM10", 3, ENodeKind::Missing, false, NotFound, "COM10"},
        {"/dev/ttyACM0", 55, ENodeKind::CharDevice, true, NotFound, "/dev/ttyACM0"},
        {"/tmp/log", -1, ENodeKind::Other, true, NotSerial, "/tmp/log"},
        {"COM2", 31, ENodeKind::CharDevice, false, NoHardware, "/dev/ttyS1"},
        {"COM2", 87, ENodeKind::CharDevice, false, "", ""},
    };
    for (const auto& c : cases) {
        const portadvice::TNodeProbe probe{
            [&](const std::string& path) { return path == c.path ? c.kind : ENodeKind::Missing; },
            [&](const std::string& path) { return path == c.path && c.mayReadWrite; }};
        ExpectAdvice(PortAdvice(c.device, c.code, probe), c.says, c.path);
    }
}

// A network address names the server, never a node: the file system is not asked.
TEST(TPortAdvice, NetworkAddressesGetTheNetworksCauses) {
    const portadvice::TNodeProbe noFiles{[](const std::string&) -> ENodeKind {
                                             ADD_FAILURE() << "a network name was looked up as a node";
                                             return ENodeKind::Missing;
                                         },
                                         [](const std::string&) { return false; }};
    const struct {
        std::string address;
        int32_t code;
        const char* says;
    } cases[] = {
        {"rfc2217://127.0.0.1:2217", 1225, "не принимает соединения"},
        {"socket://bench-pc:4001", 67, "не найден"},
        {"rfc2217://10.0.0.9:2217", 1232, "недоступен"},
        {"rfc2217://10.0.0.9:2217", 1231, "недоступен"},
        {"socket://bench-pc:4001", 121, "не ответил"},
        {"rfc2217://bench-pc:4001", 50, "telnet(rfc2217)"},
        {"socket://bench-pc:2217", 50, "подключайтесь через rfc2217://"},
        {"SOCKET://bench-pc:2217", 50, "подключайтесь через rfc2217://"},
        {"socket://bench-pc:2217", 1236, "закрыл соединение"},
        {"rfc2217://bench-pc:2217", 1236, "закрыл соединение"},
        {"rfc2217://bench-pc", 123, "записан неверно"},
        {"rfc2217://bench-pc:2217", 2, ""},  // no network cause
    };
    for (const auto& c : cases) ExpectAdvice(PortAdvice(c.address, c.code, noFiles), c.says, c.address);
}

TEST(TPortAdvice, FailedOpensOfRealNodes) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    ASSERT_TRUE(QFile(dir.filePath("log")).open(QIODevice::WriteOnly));
    TPtyPair line;
    TComm holder;  // another program that has the line open
    holder.SetDeviceName(line.SlavePath());
    holder.Open();
    const bool noDriver = MakeNodeWithoutDriver(root + "/ttyNoDriver", 0666);
    const struct {
        std::string device;
        int32_t code;
        const char* says;
    } cases[] = {
        {root + "/ttyUSB9", 2, NotFound},        {root + "/log/ttyUSB0", 3, NotFound},
        {root + "/ttyNoDriver", 55, NotFound},   {root + "/log", -1, NotSerial},
        {root, 5, NotSerial},                     {line.SlavePath(), 5, Busy},
    };
    for (const auto& c : cases) {
        if (c.code == 55 && !noDriver) continue;  // no mknod here
        ASSERT_EQ(OpenError(c.device), c.code) << c.device;
        ExpectAdvice(PortAdvice(c.device, c.code), c.says, c.device);
    }
}

// Only the test's own thread gives up root: raw system calls change the ids
// of the calling thread alone.
TEST(TPortAdvice, NoRightsAsAnOrdinaryUser) {
    QTemporaryDir dir;
    const std::string rootOnly = dir.path().toStdString() + "/ttyRootOnly";
    const std::string everybody = dir.path().toStdString() + "/ttyEverybody";
    if (geteuid() != 0 || chmod(dir.path().toUtf8().constData(), 0755) != 0 || !MakeNodeWithoutDriver(rootOnly, 0600) ||
        !MakeNodeWithoutDriver(everybody, 0666))
        GTEST_SKIP() << "needs root and mknod";
    QString rootOnlyAdvice, everybodyAdvice;
    bool dropped = false;
    std::thread([&] {
        const long nobody = 65534;
        dropped = syscall(SYS_setgroups, 0, nullptr) == 0 && syscall(SYS_setresgid, nobody, nobody, nobody) == 0 &&
                  syscall(SYS_setresuid, nobody, nobody, nobody) == 0;
        if (!dropped) return;
        rootOnlyAdvice = PortAdvice(rootOnly, 5);
        everybodyAdvice = PortAdvice(everybody, 5);
    }).join();
    if (!dropped) GTEST_SKIP() << "a thread may not change its user here";
    ExpectAdvice(rootOnlyAdvice, Rights, rootOnly);
    ExpectAdvice(everybodyAdvice, Busy, everybody);
    ExpectAdvice(PortAdvice(rootOnly, 5), Busy, rootOnly);  // root may open it
}

// A port that fails to open with the code a vanished line also fails with
// (31: a pty slave still locked by its master answers EIO) is a failed open,
// reported with its advice, not taken for a connection that was lost.
TEST_F(TWindowTest, AnOpenFailingLikeALostLineIsReportedWithItsAdvice) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);  // not unlocked: opening the slave fails with EIO
    const std::string slave = ptsname(master);
    SelectPort(slave);
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    close(master);
    ASSERT_EQ(Boxes->Boxes().size(), 1u) << Boxes->Texts().join("; ").toStdString();
    const QStringList lines = Boxes->Boxes()[0].text.split('\n');
    ASSERT_EQ(lines.size(), 2) << Boxes->Boxes()[0].text.toStdString();
    EXPECT_EQ(lines[0], "Error accessing specified device (Error: 31) ");
    ExpectAdvice(lines[1], NoHardware, slave);
    EXPECT_FALSE(testsupport::Parts(Form).UART->Enabled());
    EXPECT_TRUE(OwnEnabled(Ctl<QPushButton>(*Form, "btnConnect")));
}

