// "Журнал обмена" as a user opens it from the chart's menu while measuring
// the simulated controller: the polls shown and hidden on request, a 'V'
// line clicked putting the chart's cursor at its time, a lost reply ticked
// on the chart's time axis, and the lines saved as text (all or no file).
#include <csignal>
#include <cstring>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>

#include "chart/ChartCursor.h"
#include "tests/support/PopupDriver.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/support/WindowParts.h"
#include "window/TrafficWindow.h"

using namespace testsupport;

namespace {

class TTrafficTests : public TConnectedWindowTest<2> {
protected:
    TTrafficWindow* Open() {
        auto* chart = Ctl<QWidget>(*Form, "Chart1");
        EXPECT_TRUE(ChooseEntry(RightClickMenu(*chart, chart->rect().center()), U("Журнал обмена")));
        TTrafficWindow* view = nullptr;
        EXPECT_TRUE(WaitFor([&view] { return (view = qobject_cast<TTrafficWindow*>(ActiveWindowOf<TTrafficWindow>())) != nullptr; }));
        return view;
    }
    template <class W>
    static QWidget* ActiveWindowOf() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<W*>(w) && w->isVisible()) return w;
        return nullptr;
    }
    // A 'V' frame sent, or its answer; a poll that failed is no mere poll.
    static bool IsPoll(const QString& line) { return line.contains(QStringLiteral("  56 00  ")) || line.contains("tick="); }
};

}  // namespace

TEST_F(TTrafficTests, PollsFailuresTheCursorAndTheExport) {
    TTrafficWindow* view = Open();
    ASSERT_NE(view, nullptr);
    view->Refresh();
    EXPECT_TRUE(view->Shown().front().contains(U("проба ×1"))) << view->Shown().front().toStdString();
    ChooseMode(2);
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    const TChartHistory& history = Parts(Form).Series1->History();
    ASSERT_TRUE(WaitFor([&] { return history.Count() >= 20; }));
    SetFaults([](sim::TFaults& f) {
        f.DropNext = 1;
        f.ReplyCodes = "V";
    });
    ASSERT_TRUE(WaitFor([this] { return !Parts(Form).FailureTicks->Ticks().empty(); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return history.Count() >= 60; }));
    Click(Ctl<QPushButton>(*Form, "btnGraph"));
    view->Refresh();
    const QStringList all = view->Shown();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), IsPoll));
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const QString& l) { return l.contains(U("нет ответа")); }));

    if (QString shot = qEnvironmentVariable("SERVO_SCREENSHOT"); !shot.isEmpty()) {
        // For a person to look at: the log beside the chart with its time-out ticked.
        view->findChild<QCheckBox*>("chkHidePolls")->click();
        const QPixmap chart = Form->grab(), log = view->grab();
        QPixmap both(chart.width() + log.width(), std::max(chart.height(), log.height()));
        both.fill(Qt::white);
        QPainter painter(&both);
        painter.drawPixmap(0, 0, chart);
        painter.drawPixmap(chart.width(), 0, log);
        painter.end();
        both.save(shot.replace(".png", "-traffic.png"));
        view->findChild<QCheckBox*>("chkHidePolls")->click();
    }
    view->findChild<QCheckBox*>("chkHidePolls")->click();
    const QStringList quiet = view->Shown();
    EXPECT_FALSE(quiet.isEmpty());
    EXPECT_FALSE(std::any_of(quiet.begin(), quiet.end(), IsPoll));
    view->findChild<QCheckBox*>("chkOnlyFailures")->click();
    const QStringList failures = view->Shown();
    EXPECT_TRUE(!failures.isEmpty() &&
                std::all_of(failures.begin(), failures.end(), [](const QString& l) { return l.contains(U("нет ответа")); }))
        << failures.join('\n').toStdString();
    view->findChild<QCheckBox*>("chkOnlyFailures")->click();
    view->findChild<QCheckBox*>("chkHidePolls")->click();

    // A click on a sample's reply line: the cursor at its time.
    auto* text = view->findChild<QPlainTextEdit*>("txtTraffic");
    const QStringList lines = view->Shown();
    const auto sample = std::find_if(lines.begin() + lines.size() / 2, lines.end(), [](const QString& l) { return l.contains("tick="); });
    ASSERT_NE(sample, lines.end());
    QTextCursor at(text->document()->findBlockByNumber(int(sample - lines.begin())));
    {  // scrolled to it, as a user would, without a click yet
        const QSignalBlocker blocked(text);
        text->setTextCursor(QTextCursor(at.block().next()));  // the line below it: the click moves the cursor
        text->ensureCursorVisible();
    }
    QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, text->cursorRect(at).center());
    ASSERT_TRUE(Parts(Form).ChartCursor->Shown());
    EXPECT_NEAR(Parts(Form).ChartCursor->Time(), sample->section(' ', 0, 0, QString::SectionSkipEmpty).toDouble(), 5.0)
        << "within a pixel of the chart";

    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    Parts(Form).RunPathPrompt = [&path](bool, const QString&) { return path; };
    view->findChild<QPushButton*>("btnTrafficSave")->click();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), view->Shown().join('\n') + '\n');

    // A disk that fills: a box, and no file.
    const QString full = dir.filePath("full.txt");
    Parts(Form).RunPathPrompt = [&full](bool, const QString&) { return full; };
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    view->findChild<QPushButton*>("btnTrafficSave")->click();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(QFile::exists(full));
    ASSERT_FALSE(Boxes->Texts().isEmpty());
    EXPECT_TRUE(Boxes->Texts().back().startsWith(U("Журнал не сохранён: ")));
}
