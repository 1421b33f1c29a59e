// Saves a picture of the connected window for a person to look at. Runs only
// when SERVO_SCREENSHOT names the file to write (for example under Xvfb).
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <qcustomplot.h>

#include "chart/ChartCursor.h"
#include "chart/ChartMenu.h"
#include "chart/StepPanel.h"
#include "paramset/ParamFile.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartMenuDriver.h"
#include "window/ParamDiffDialog.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

using TScreenshot = TSimWindowTest;

TEST_F(TScreenshot, ConnectedWindow) {
    const QString path = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    Sim->SetMode(2);
    Sim->SetPosition(5000);
    Connect();
    ASSERT_NO_FATAL_FAILURE(Activate());
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

// The chart after a measurement: the cursor's readout under the mouse, then
// the context menu over the window, then the chart exported in each format.
// Saved beside SERVO_SCREENSHOT as "-cursor.png", "-menu.png" and "-chart.*".
using TChartScreenshot = TLiveWindowTest;

TEST_F(TChartScreenshot, CursorAndMenu) {
    const QString path = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    Connect();
    ChooseMode(2);
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(330);
    ASSERT_TRUE(LinkIdle());
    Ctl<QLineEdit>(*Form, "edtHistoryDepth")->setText("400");
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series1->History().Count() >= 150; }));
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    ASSERT_NO_FATAL_FAILURE(Activate());

    const QRect plot = Ctl<QCustomPlot>(*Form, "Chart1")->axisRect()->rect();
    const QPoint at = Ctl<QCustomPlot>(*Form, "Chart1")->mapTo(Form.get(), QPoint(plot.left() + plot.width() / 3, plot.center().y()));
    QTest::mouseMove(Form->windowHandle(), QPoint(1, 1));
    QTest::mouseMove(Form->windowHandle(), at);
    ASSERT_TRUE(testsupport::Parts(Form).ChartCursor->Shown());
    QString cursorPath = path;
    EXPECT_TRUE(Form->grab().save(cursorPath.replace(".png", "-cursor.png")));

    QTest::mouseClick(Form->windowHandle(), Qt::RightButton, {}, at);
    QMenu* menu = testsupport::Parts(Form).ChartMenu->Menu();
    ASSERT_TRUE(WaitFor([menu] { return menu->isVisible(); }));
    QPixmap picture = Form->grab();
    {
        QPainter painter(&picture);
        painter.drawPixmap(Form->mapFromGlobal(menu->pos()), menu->grab());
    }
    QString menuPath = path;
    EXPECT_TRUE(picture.save(menuPath.replace(".png", "-menu.png")));
    menu->close();

    TChartMenuDriver driver(*Form);
    for (const auto& [suffix, filter] : {std::pair{"-chart.png", 0}, {"-chart-2x.png", 1},
                                         {"-chart.pdf", 2}, {"-chart.svg", 3}, {"-chart.csv", 0}}) {
        QString exportPath = path;
        exportPath.replace(".png", QString::fromLatin1(suffix));
        QAction* entry = exportPath.endsWith(".csv") ? testsupport::Parts(Form).ChartMenu->SaveCsvAction()
                                                     : testsupport::Parts(Form).ChartMenu->SaveImageAction();
        ASSERT_TRUE(driver.Export(entry, exportPath, filter));
        EXPECT_EQ(driver.Outcomes.back(), QString());
    }
}

// A measurement running in the velocity mode with a step of the drive bar in
// it, then the step-response figures over the stopped chart. Saved beside
// SERVO_SCREENSHOT as "-measuring.png" and "-step.png" (the README's pictures:
// scripts/pictures.sh).
TEST_F(TChartScreenshot, MeasuringAndStepFigures) {
    const QString path = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    Connect();
    ChooseMode(2);
    Click(Ctl<TRadioGroup>(*Form, "rgVelocityRaz")->Item(1));
    Ctl<QLineEdit>(*Form, "edtHistoryDepth")->setText("300");
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    const TChartHistory& history = testsupport::Parts(Form).Series1->History();
    ASSERT_TRUE(WaitFor([&] { return history.Count() >= 40; }));
    ASSERT_TRUE(WaitFor([&] { return LinkIdle(); }));
    Ctl<TTrackBar>(*Form, "tbarSubCommand")->SetPosition(300);
    ASSERT_TRUE(WaitFor([&] { return history.Count() >= 160; }));
    ASSERT_NO_FATAL_FAILURE(Activate());
    QString measuringPath = path;
    EXPECT_TRUE(Form->grab().save(measuringPath.replace(".png", "-measuring.png")));

    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    TChartMenuDriver driver(*Form);
    QMenu* menu = driver.Open();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(driver.Choose(menu, testsupport::Parts(Form).ChartMenu->StepFiguresAction()));
    ASSERT_FALSE(testsupport::Parts(Form).ChartMenu->StepPanel()->isHidden());
    QString stepPath = path;
    EXPECT_TRUE(Form->grab().save(stepPath.replace(".png", "-step.png")));
}

// The dialog before a file's parameters are written, over the window with an
// edit typed into but not written.
TEST_F(TScreenshot, ParamFileDialog) {
    const QString path = qEnvironmentVariable("SERVO_SCREENSHOT");
    if (path.isEmpty()) GTEST_SKIP() << "SERVO_SCREENSHOT not set";
    Sim->SetParam(1, 256);
    Connect();
    ASSERT_NO_FATAL_FAILURE(Activate());
    QTemporaryDir dir;
    paramfile::TParamSet set;
    set.words = {0, 384, 512, 64, 1000, 30};
    set.controller = "SRV2 servo ctl v1.4+";
    set.time = QDateTime::currentDateTimeUtc();
    set.servoMode = 2;
    ASSERT_FALSE(paramfile::Save(dir.filePath("kp-2.json"), set));
    testsupport::Parts(Form).ParamFiles->PathPrompt = [&](bool) { return dir.filePath("kp-2.json"); };
    QTest::keyClicks(Ctl<QLineEdit>(*Form, "edtParam3"), "5");
    QPixmap picture;
    QTimer grabber;
    QObject::connect(&grabber, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<TParamDiffDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || !picture.isNull()) return;
        picture = Form->grab();
        QPainter painter(&picture);
        painter.drawPixmap((Form->width() - dialog->width()) / 2, 40, dialog->grab());
        dialog->reject();
    });
    grabber.start(20);
    testsupport::Parts(Form).ParamFiles->LoadFromFile();
    ASSERT_FALSE(picture.isNull());
    QString shot = path;
    EXPECT_TRUE(picture.save(shot.replace(".png", "-params.png")));
}
