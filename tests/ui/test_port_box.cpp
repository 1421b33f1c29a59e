// The port box as a person uses it: the list is looked up again when it
// opens, the choice survives that, and "Другой порт…" asks for a path that
// then connects like any other entry.
#include <QAbstractItemView>
#include <QTemporaryDir>

#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "window/PortBox.h"
#include "window/PortChoice.h"
#include "window/PortList.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

// The found devices come from a temporary tree instead of /dev.
template <typename TBase>
class TPortBoxTest : public TBase {
protected:
    void SetUp() override {
        TBase::SetUp();
        Box = qobject_cast<TPortBox*>(Ctl<QComboBox>(*this->Form, "cbPort"));
        ASSERT_TRUE(Box && Dev.isValid());
        Box->SetDeviceFinder([this] { return portlist::FindSerialDevices(Dev.path()); });
    }
    QString Device(const QString& name) const { return Dev.path() + "/" + name; }
    bool Plug(const QString& name) { return QFile(Device(name)).open(QIODevice::WriteOnly); }
    QStringList Entries(const QStringList& middle) const {
        return QStringList{"COM1", "COM2", "COM3", "COM4"} + middle + QStringList{U("Симулятор"), U("Другой порт…")};
    }
    // Clicks the box open and returns what it lists; Escape closes it again.
    QStringList OpenAndClose() {
        QTest::mouseClick(Box, Qt::LeftButton);
        EXPECT_TRUE(WaitFor([this] { return Box->view()->isVisible(); }));
        QStringList entries;
        for (int i = 0; i < Box->count(); ++i) entries << Box->itemText(i);
        QTest::keyClick(Box->view(), Qt::Key_Escape);
        return entries;
    }
    // Opens the list, walks down to the entry and presses Enter.
    void Choose(const QString& entry) {
        QTest::mouseClick(Box, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([this] { return Box->view()->isVisible(); }));
        QTest::keyClick(Box->view(), Qt::Key_Home);
        for (int i = 0; i < Box->count() && Box->view()->currentIndex().data() != entry; ++i)
            QTest::keyClick(Box->view(), Qt::Key_Down);
        const bool listed = Box->view()->currentIndex().data() == entry;
        QTest::keyClick(Box->view(), listed ? Qt::Key_Return : Qt::Key_Escape);
        ASSERT_TRUE(listed) << entry.toStdString();
    }
    void ChooseOther(TDialogAnswer& answer) {
        Choose(U("Другой порт…"));
        ASSERT_TRUE(WaitFor([&] { return !answer.Asked.isEmpty() && !QApplication::activeModalWidget(); }));
        EXPECT_EQ(answer.Asked, U("Другой порт|Путь к устройству или адрес сервера\n"
                                  "(rfc2217://узел:порт или socket://узел:порт):"));
    }

    TPortBox* Box = nullptr;
    QTemporaryDir Dev;
};

using TPortBoxWindow = TPortBoxTest<TWindowTest>;
using TPortBoxSim = TPortBoxTest<TSimWindowTest>;

}  // namespace

TEST_F(TPortBoxWindow, OpeningFindsDevicesAgainAndKeepsTheChoice) {
    EXPECT_EQ(OpenAndClose(), Entries({}));
    ASSERT_TRUE(Plug("ttyUSB5"));
    EXPECT_EQ(OpenAndClose(), Entries({Device("ttyUSB5")}));
    Choose(Device("ttyUSB5"));
    ASSERT_TRUE(Plug("ttyUSB1") && Plug("ttyACM0"));
    EXPECT_EQ(OpenAndClose(), Entries({Device("ttyUSB1"), Device("ttyUSB5"), Device("ttyACM0")}));
    EXPECT_EQ(Box->currentText(), Device("ttyUSB5"));
    ASSERT_TRUE(QFile::remove(Device("ttyUSB5")));
    EXPECT_EQ(OpenAndClose(), Entries({Device("ttyUSB1"), Device("ttyACM0")}));
    EXPECT_EQ(Box->currentText(), "COM1");  // gone: the first port
}

TEST_F(TPortBoxWindow, ATypedPathIsAddedOnceBeforeTheSimulator) {
    for (const char* typed : {"  /dev/ttyXR7 ", "/dev/ttyXR7", "COM3", "/dev/ttyXR7"}) {
        TDialogAnswer answer(QString::fromUtf8(typed));
        ChooseOther(answer);
        EXPECT_EQ(OpenAndClose(), Entries({"/dev/ttyXR7"}));
        EXPECT_EQ(Box->currentText(), QString(typed).trimmed());
    }
}

TEST_F(TPortBoxWindow, ANetworkAddressIsTakenAsItIsTyped) {
    for (const char* typed : {" rfc2217://127.0.0.1:2217", "socket://bench-pc:4001 "}) {
        TDialogAnswer answer(QString::fromUtf8(typed));
        ChooseOther(answer);
        EXPECT_EQ(Box->currentText(), QString(typed).trimmed());
    }
    EXPECT_EQ(OpenAndClose(), Entries({"rfc2217://127.0.0.1:2217", "socket://bench-pc:4001"}));
}

TEST_F(TPortBoxWindow, NoPathReturnsToThePreviousChoice) {
    Choose(U("Симулятор"));
    for (const std::optional<QString>& typed : {std::optional<QString>(), std::optional<QString>(""),
                                                std::optional<QString>("   ")}) {
        TDialogAnswer answer(typed);
        ChooseOther(answer);
        EXPECT_EQ(Box->currentText(), U("Симулятор"));
        EXPECT_EQ(OpenAndClose(), Entries({}));
    }
}

TEST_F(TPortBoxSim, ATypedPathConnectsToTheController) {
    TDialogAnswer answer(QString::fromStdString(Sim->Path()));
    ChooseOther(answer);
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    ASSERT_TRUE(WaitFor([this] { return OwnEnabled(Ctl<QPushButton>(*Form, "btnDisconnect")); }, 10000));
    EXPECT_TRUE(Connected());
    EXPECT_EQ(testsupport::Parts(Form).UART->DeviceName(), Sim->Path());
    EXPECT_EQ(Codes(Sim->Frames()), "ImpRRRRRR");
    EXPECT_TRUE(Boxes->Boxes().empty()) << Boxes->Texts().join("; ").toStdString();
}

TEST(TPortChoice, ASimulatorWhoseLineWentAwayIsStartedAnewAndAnswers) {
    QComboBox box;
    box.addItem(QString::fromUtf8(TPortChoice::SimulatorEntry));
    TPortChoice choice(box);
    choice.CurrentDevice();
    ASSERT_NE(choice.Simulator(), nullptr);
    choice.Simulator()->HangUp();
    ASSERT_TRUE(WaitFor([&] { return !choice.Simulator()->Running(); }));

    const std::string path = choice.CurrentDevice();
    ASSERT_TRUE(choice.Simulator()->Running());
    TLineEnd line = TLineEnd::OpenRaw(path);
    ASSERT_TRUE(line.IsOpen()) << path;
    EXPECT_EQ(line.Exchange({0xFF}, 1), Bytes{'X'}) << "the new simulator answers the probe";
}
