// Saves a picture of the connected window for a person to look at. Runs only
// when SERVO_SCREENSHOT names the file to write (for example under Xvfb).
#include <QPixmap>

#include "WindowFixture.h"

using namespace uitest;

using TScreenshot = TSimWindowTest;

TEST_F(TScreenshot, ConnectedWindow) {
    const QString path = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    Sim->SetMode(2);
    Sim->SetPosition(5000);
    Connect();
    Form->activateWindow();
    QTest::qWait(300);
    const QPixmap picture = Form->grab();
    EXPECT_EQ(picture.size(), QSize(782, 525) * picture.devicePixelRatio());
    EXPECT_TRUE(picture.save(path));
}
