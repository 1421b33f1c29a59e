// A network server that is slow to answer the connection's negotiation: the
// window's timers and drawing go on while "Подключить" waits, the cursor
// shows the wait, and everything is as before once the open has ended.
#include <QApplication>
#include <QTimer>

#include "tests/support/NetPeer.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"

using namespace testsupport;

using TOpenPatience = TWindowTest;

namespace {

// Counts the paint events a widget gets while `counting` holds.
class TPaintCounter : public QObject {
public:
    TPaintCounter(QWidget* widget, const bool& counting) : FCounting(counting) { widget->installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && FCounting) ++Count;
        return false;
    }

private:
    const bool& FCounting;
};

}  // namespace

TEST_F(TOpenPatience, TheWindowLivesOnWhileAServerIsSlowToAnswer) {
    TNetPeer peer(TNetPeer::EMode::Rfc2217);
    peer.Hold(true);  // the offers wait unanswered until the window's timer lets them through
    SelectPort(peer.Name());
    bool opening = false, busyCursor = false, announced = false;
    int ticksWhileOpening = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!opening) return;
        const QCursor* cursor = QApplication::overrideCursor();
        busyCursor = busyCursor || (cursor && cursor->shape() == Qt::WaitCursor);
        announced = announced || Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0) == U("Подключение…");
        Ctl<TStatusBar>(*Form, "StatusBar")->update();  // a repaint asked for now must be done now
        if (++ticksWhileOpening == 5) peer.Hold(false);
    });
    TPaintCounter paints(Ctl<TStatusBar>(*Form, "StatusBar"), opening);
    ticker.start();
    opening = true;
    Click(Ctl<QPushButton>(*Form, "btnConnect"));
    opening = false;

    EXPECT_GE(ticksWhileOpening, 5) << "the window's timers ran while the server was silent";
    EXPECT_GT(paints.Count, 0) << "and the window drew";
    EXPECT_TRUE(busyCursor);
    EXPECT_TRUE(announced) << "the status bar said the console was connecting";
    EXPECT_NE(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0), U("Подключение…")) << "and no longer once the open has ended";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor is back once the open has ended";
    EXPECT_EQ(peer.Receive(1, 5000), Bytes{0xFF}) << "the open went through: the probe reached the server";
    ASSERT_EQ(Boxes->Boxes().size(), 1u) << Boxes->Texts().join("; ").toStdString();
    EXPECT_EQ(Boxes->Boxes()[0].text, U("Контроллер не найден")) << "nobody answers behind this server";
}
