// Saves a picture of the connected window for a person to look at. Runs only
// when SERVO_SCREENSHOT names the file to write (for example under Xvfb).
#include <QPainter>
#include <QPixmap>

#include "WindowFixture.h"

using namespace testsupport;

using TScreenshot = TSimWindowTest;

TEST_F(TScreenshot, ConnectedWindow) {
    const QString path = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    Sim->SetMode(2);
    Sim->SetPosition(5000);
    Connect();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    ASSERT_TRUE(LinkIdle());
    const QPixmap picture = Form->grab();
    EXPECT_EQ(picture.size(), QSize(782, 525) * picture.devicePixelRatio());
    EXPECT_TRUE(picture.save(path));
}

// The message a pulled cable gives, over the disconnected window.
TEST_F(TScreenshot, LineLostMessage) {
    const QString path = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    Connect();
    Form->activateWindow();
    // This test answers the box itself, once it has its picture: a box shown
    // is laid out, and grabbing draws it there and then.
    Boxes.reset();
    QPixmap picture;
    QTimer grabber;
    QObject::connect(&grabber, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        if (picture.isNull()) {
            picture = Form->grab();
            QPainter painter(&picture);
            painter.drawPixmap((Form->width() - box->width()) / 2, (Form->height() - box->height()) / 2,
                               box->grab());
        }
        box->reject();
    });
    grabber.start(1);
    Sim->HangUp();
    ASSERT_TRUE(WaitFor([&] { return !picture.isNull(); }));
    QString boxPath = path;
    boxPath.replace(".png", "-lost.png");
    EXPECT_TRUE(picture.save(boxPath));
}
