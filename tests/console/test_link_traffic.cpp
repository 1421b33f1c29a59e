// The traffic log of the link against the simulated controller: each kind of
// exchange (accepted, refused, late, split, garbled, unanswered, half a
// reply, the probe, the line lost) made through the simulator's faults gives
// its exact lines; and the log keeps at most its bound.
#include <memory>

#include <QThread>

#include "link/ConsoleLine.h"
#include "sim/PtySimulator.h"
#include "tests/console/LinkFixture.h"
#include "tests/support/Wait.h"
#include "traffic/TrafficLog.h"

namespace {

// The lines without their round trip, which the clock decides.
QStringList Texts(const traffic::TLog& log) {
    QStringList texts;
    for (traffic::TLine line : log.Lines()) {
        line.rttMs.reset();
        texts << log.Text(line);
    }
    return texts;
}

// A line as it must read: time 0, then the columns.
QString Row(const char* arrow, const char* hex, const char* meaning, const char* outcome = "") {
    QString text = QStringLiteral("%1  %2  %3  %4")
                       .arg(0.0, 10, 'f', 1)
                       .arg(QString::fromUtf8(arrow))
                       .arg(QString::fromLatin1(QByteArray::fromHex(hex).toHex(' ').toUpper()), -20)
                       .arg(QString::fromUtf8(meaning), -36);
    if (*outcome) text += QStringLiteral("  ") + QString::fromUtf8(outcome);
    while (text.endsWith(' ')) text.chop(1);
    return text;
}

class LinkTraffic : public ::testing::Test {
protected:
    void SetUp() override {
        sim::TSimOptions options;
        options.Clock = sim::EClockKind::Stepped;  // the model stands still: values are exact
        Sim = std::make_unique<sim::TPtySimulator>(options);
        ASSERT_TRUE(Sim->Start());
        Sim->SetMode(sim::smVelocity);
        consoleline::Configure(Port);
        Port.SetDeviceName(Sim->Path());
        Link = std::make_unique<TControllerLink>(Port, &Listener);
        Link->SetProbePause([this](int) { testsupport::WaitWithoutEvents([this] { return Port.InQueCount() >= 1; }); });
        consoleline::Bind(Port, *Link, [this] { Link->DropLine(); });
        Port.Open();
        Link->SetTrace(&Log);
    }
    void TearDown() override {
        Link->SetTrace(nullptr);
        consoleline::Unbind(Port);
        Port.Close();
    }
    // One exchange under the faults, from a quiet line.
    void Exchange(const sim::TFaults& faults, const std::function<bool()>& send) {
        Sim->SetFaults(faults);
        Log.Clear();
        ASSERT_TRUE(send());
        Link->WaitReply();
        Sim->SetFaults({});
        ASSERT_TRUE(WaitFor([this] { return Sim->QueuedOutputBytes() == 0; }));
        PumpFor(20);
    }

    std::unique_ptr<sim::TPtySimulator> Sim;
    TComm Port;
    TRecordingListener Listener;
    std::unique_ptr<TControllerLink> Link;
    traffic::TLog Log{traffic::Russian(), [] { return 0.0; }};
};

}  // namespace

TEST_F(LinkTraffic, EachKindOfExchangeGivesItsLines) {
    const QString modeSent = Row("→", "6d00", "m");
    struct TCase {
        const char* name;
        sim::TFaults faults;
        QStringList lines;
    };
    sim::TFaults refuse, late, split, garbled, dropped, half;
    refuse.RefuseCodes = "m";
    late.DelayMs = 60;
    split.ChunkBytes = 1;
    split.ChunkGapMs = 20;
    garbled.WrongStatus = '?';
    dropped.DropNext = 1;
    half.ChunkBytes = 1;
    half.ChunkGapMs = 1500;  // the status comes after the reply timer
    const QString accepted = Row("←", "022b", "m mode=2 (Скорость)", "принят");
    const TCase cases[] = {
        {"accepted", {}, {modeSent, accepted}},
        {"refused", refuse, {modeSent, Row("←", "002d", "m", "отклонён")}},
        {"late, within the second", late, {modeSent, accepted}},
        {"split into bytes", split, {modeSent, accepted}},
        {"garbled status", garbled, {modeSent, Row("←", "023f", "m", "неразборчив")}},
        {"unanswered", dropped, {modeSent, Row("←", "", "m", "нет ответа")}},
        {"half a reply", half, {modeSent, Row("←", "02", "m", "нет ответа, пол-ответа: 1 из 2 байт")}},
    };
    ASSERT_TRUE(Link->ProbeController());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(Exchange(c.faults, [this] { return Link->SendGetMode(); }));
        EXPECT_EQ(Texts(Log), c.lines);
        EXPECT_EQ(Log.Lines().back().failure, c.lines.back() != accepted);
        EXPECT_TRUE(Log.Lines().back().rttMs);
    }
    // Payloads decoded: a parameter written, the drive, a sample.
    ASSERT_NO_FATAL_FAILURE(Exchange({}, [this] { return Link->SendWriteParam(2, 512); }));
    EXPECT_EQ(Texts(Log), (QStringList{Row("→", "5703020002", "W Kp (#3)=2 [512]"), Row("←", "2b", "W", "принят")}));
    ASSERT_NO_FATAL_FAILURE(Exchange({}, [this] { return Link->SendSubCommand(-32); }));
    EXPECT_EQ(Texts(Log).front(), Row("→", "4202e0ff", "B drive=-32"));
}

TEST_F(LinkTraffic, TheProbeFoldsIntoOneLineAndALostLineHasItsOwn) {
    ASSERT_TRUE(Link->ProbeController());
    EXPECT_EQ(Texts(Log), QStringList{Row("→", "ff", "проба ×1", "есть ответ")});
    sim::TFaults silent;
    silent.NeverAnswerProbe = true;
    Sim->SetFaults(silent);
    Link->SetProbePause([](int ms) { QThread::msleep(unsigned(ms)); });
    Log.Clear();
    EXPECT_FALSE(Link->ProbeController());
    EXPECT_EQ(Texts(Log), QStringList{Row("→", "ff", "проба ×16", "нет ответа")});
    EXPECT_TRUE(Log.Lines().back().failure);
    Log.Clear();
    Sim.reset();  // the cable pulled
    ASSERT_TRUE(WaitFor([this] { return Link->LineLost(); }));
    EXPECT_EQ(Texts(Log), QStringList{Row("·", "", "", "линия потеряна")});
}

TEST(TrafficLog, KeepsItsBoundAndCountsWhatWent) {
    traffic::TLog log(traffic::English(), [] { return 0.0; }, 3);
    const uint8_t frame[] = {'V', 0};
    for (int i = 0; i < 5; ++i) log.FrameSent(frame);
    EXPECT_EQ(log.Lines().size(), 3u);
    EXPECT_EQ(log.Added(), 5u);
    EXPECT_EQ(log.Dropped(), 2u);
    log.Clear();
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(log.Added(), log.Dropped());
}
