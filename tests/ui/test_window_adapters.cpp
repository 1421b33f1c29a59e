// The control adapters on their own: when the track bar and the radio group
// fire, the status bar's panels, and the serial devices offered in the port box.
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "tests/support/WindowFixture.h"
#include "window/PortList.h"

using namespace testsupport;

namespace {

class TTrackBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bar.setRange(0, 511);
        Bar.setValue(256);
        Bar.setPageStep(2);
        Bar.setGeometry(0, 0, 300, 40);
        Window.resize(320, 60);
        Window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
        Bar.setFocus();
        QObject::connect(&Bar, &TTrackBar::Change, [this] { Seen.push_back(Bar.Position()); });
    }
    QWidget Window;
    TTrackBar Bar{&Window};
    std::vector<int> Seen;  // the position at each Change
};

}  // namespace

TEST_F(TTrackBarTest, ProgramChangeFiresOnlyWhenThePositionMoves) {
    Bar.SetPosition(256);
    EXPECT_TRUE(Seen.empty());
    Bar.SetPosition(300);
    EXPECT_EQ(Seen, std::vector<int>{300});
    Bar.SetPosition(9999);  // clamped to the end
    EXPECT_EQ(Seen, (std::vector<int>{300, 511}));
    Bar.SetPosition(511);
    EXPECT_EQ(Seen.size(), 2u);
}

TEST_F(TTrackBarTest, EachKeyFiresAndItsReleaseFiresAgain) {
    QTest::keyPress(&Bar, Qt::Key_Right);
    EXPECT_EQ(Seen, std::vector<int>{257});  // the new position is readable at once
    QTest::keyRelease(&Bar, Qt::Key_Right);
    EXPECT_EQ(Seen, (std::vector<int>{257, 257}));
    QTest::keyClick(&Bar, Qt::Key_Home);
    EXPECT_EQ(Seen, (std::vector<int>{257, 257, 0, 0}));
    // At the end a further step still notifies, at the same place.
    QTest::keyClick(&Bar, Qt::Key_Left);
    EXPECT_EQ(Seen, (std::vector<int>{257, 257, 0, 0, 0, 0}));
    QTest::keyClick(&Bar, Qt::Key_PageUp);
    EXPECT_EQ(Seen.back(), 2);
}

TEST_F(TTrackBarTest, DragFiresEachStepAndOnceMoreAtTheEnd) {
    const QPoint thumb = Bar.rect().center();
    QTest::mousePress(&Bar, Qt::LeftButton, Qt::NoModifier, thumb);
    QTest::mouseMove(&Bar, thumb + QPoint(20, 0));
    QTest::mouseMove(&Bar, thumb + QPoint(40, 0));
    const size_t duringDrag = Seen.size();
    EXPECT_GE(duringDrag, 2u);
    QTest::mouseRelease(&Bar, Qt::LeftButton, Qt::NoModifier, thumb + QPoint(40, 0));
    ASSERT_EQ(Seen.size(), duringDrag + 1);
    EXPECT_EQ(Seen.back(), Seen[duringDrag - 1]);  // the end repeats the final place
    EXPECT_GT(Seen.back(), 256);
}

TEST(TRadioGroupTest, ClickFiresOnlyWhenTheUserChangesTheSelection) {
    QWidget window;
    TRadioGroup group("Group", {"a", "b", "c"}, &window);
    group.setGeometry(0, 0, 120, 90);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicks(&group, &TRadioGroup::Click);

    group.SetItemIndex(1);  // the program: no click
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseClick(group.Item(1), Qt::LeftButton);  // the selected one again: no click
    EXPECT_EQ(clicks.count(), 0);
    QTest::mouseClick(group.Item(2), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(group.ItemIndex(), 2);

    group.SetClickAttached(false);
    QTest::mouseClick(group.Item(0), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(group.ItemIndex(), 0);
    group.SetClickAttached(true);

    group.SetItemIndex(-1);
    EXPECT_EQ(group.ItemIndex(), -1);
    for (int i = 0; i < group.Count(); ++i) EXPECT_FALSE(group.Item(i)->isChecked());
    group.SetItemIndex(200);  // past the last item: the last
    EXPECT_EQ(group.ItemIndex(), 2);
    EXPECT_TRUE(group.Item(2)->isChecked());
    EXPECT_EQ(clicks.count(), 1);
    // From no selection a user click fires.
    group.SetItemIndex(-1);
    QTest::mouseClick(group.Item(1), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 2);
}

TEST(TStatusBarTest, TwoPanelsTheFirstOfFixedWidth) {
    QWidget window;
    TStatusBar bar(&window);
    bar.setGeometry(0, 0, 782, 19);
    bar.SetPanelText(0, "Timeout");
    bar.SetPanelText(1, "panel one");
    bar.SetPanelText(2, "no such panel");
    EXPECT_EQ(bar.PanelText(0), "Timeout");
    EXPECT_EQ(bar.PanelText(1), "panel one");
    EXPECT_EQ(bar.PanelText(2), "");
    EXPECT_EQ(bar.PanelRect(0).width(), 150);
    EXPECT_EQ(bar.PanelRect(1).right(), 781);
    EXPECT_TRUE(bar.findChildren<QWidget*>().isEmpty());  // nothing for the walks to reach
}

TEST(TPortListTest, ResolvedByIdLinksThenUsbThenAcmEachOnce) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString dev = root.path();
    ASSERT_TRUE(QDir(dev).mkpath("serial/by-id"));
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyUSB1"}) {
        QFile file(dev + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link("../../ttyUSB1", dev + "/serial/by-id/usb-Maker_Adapter-if00"));
    ASSERT_TRUE(QFile::link("../../ttyACM0", dev + "/serial/by-id/usb-Board-if00"));
    ASSERT_TRUE(QFile::link("../../gone", dev + "/serial/by-id/usb-Dangling-if00"));

    const QString base = QDir(dev).canonicalPath();
    const QStringList expected{base + "/ttyACM0", base + "/ttyUSB1", base + "/ttyUSB2",
                               base + "/ttyUSB10"};
    EXPECT_EQ(portlist::FindSerialDevices(dev), expected);
}

TEST(TPortListTest, NothingFoundInAnEmptyTree) {
    QTemporaryDir root;
    EXPECT_TRUE(portlist::FindSerialDevices(root.path()).isEmpty());
}
