// Fault matrix, refusals: the controller answers "-" to one kind of command
// while the user does what sends it. The window keeps showing what the
// controller holds, names the refused command in the status bar, and shows
// no message box (none is defined for a refusal).
#include "chart/SeriesGraph.h"
#include "tests/e2e/FaultMatrix.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowParts.h"

using namespace faultmatrix;

namespace {

struct TRefusal;
using TStep = std::function<void(TFaultMatrix&, const TRefusal&)>;

struct TRefusal {
    char code;
    TStep arrange;  // before the connect
    TStep act;      // the user's action that sends the refused command
    TStep check;    // what the window shows afterwards
    bool noted = true;  // the status bar names the refusal
};

void Nothing(TFaultMatrix&, const TRefusal&) {}

QString Param1(TFaultMatrix& rig) { return Ctl<QLineEdit>(*rig.Form, "edtParam1")->text(); }

void TypeParam1(TFaultMatrix& rig, const char* text) {
    Ctl<QLineEdit>(*rig.Form, "edtParam1")->clear();
    QTest::keyClicks(Ctl<QLineEdit>(*rig.Form, "edtParam1"), text);
}

const TRefusal Refusals[] = {
    {'I',
     [](TFaultMatrix& rig, const TRefusal&) {
         rig.SetFaults([](sim::TFaults& f) { f.RefuseCodes = "I"; });
         rig.Sim->SetPosition(77);
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         rig.SelectPort(rig.Sim->Path());
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnConnect"));
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         EXPECT_TRUE(rig.Connected());
         // The identification ends at its status character, and "-" ends it too.
         EXPECT_EQ(Ctl<TStatusBar>(*rig.Form, "StatusBar")->PanelText(1), U("Контроллер: -"));
         EXPECT_EQ(Ctl<QLineEdit>(*rig.Form, "edtPosition")->text(), "77");
         EXPECT_EQ(Param1(rig), "300");
     },
     false},
    {'M', Nothing, [](TFaultMatrix& rig, const TRefusal&) { rig.ChooseMode(2); },
     [](TFaultMatrix& rig, const TRefusal&) {
         EXPECT_EQ(rig.Sim->State().Mode, 0);
         EXPECT_EQ(Ctl<TRadioGroup>(*rig.Form, "rgServoMode")->ItemIndex(), 0);  // the mode read back
     }},
    {'m', Nothing, [](TFaultMatrix& rig, const TRefusal&) { rig.ChooseMode(2); },
     [](TFaultMatrix& rig, const TRefusal&) {
         EXPECT_EQ(rig.Sim->State().Mode, 2);
         EXPECT_EQ(Ctl<TRadioGroup>(*rig.Form, "rgServoMode")->ItemIndex(), 2);
     }},
    {'z', Nothing,
     [](TFaultMatrix& rig, const TRefusal&) {
         rig.Sim->SetTarget(4321);
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnGetZ"));
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         EXPECT_EQ(Ctl<QLineEdit>(*rig.Form, "edtPosTo")->text(), "");
         EXPECT_EQ(testsupport::Parts(rig.Form).Link->TargetPosition(), 0);
     }},
    {'p', [](TFaultMatrix& rig, const TRefusal&) { rig.Sim->SetPosition(12); },
     [](TFaultMatrix& rig, const TRefusal&) {
         rig.Sim->SetPosition(4321);
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnGetPosition"));
     },
     [](TFaultMatrix& rig, const TRefusal&) { EXPECT_EQ(Ctl<QLineEdit>(*rig.Form, "edtPosition")->text(), "12"); }},
    {'P',
     [](TFaultMatrix& rig, const TRefusal&) {
         rig.Sim->SetMode(3);
         rig.Sim->SetPosition(1000);
         rig.Sim->SetTarget(1000);
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         QTest::keyClicks(Ctl<QLineEdit>(*rig.Form, "edtPosTo"), "250");
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnSetPosition"));
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         EXPECT_EQ(rig.Sim->State().Target, 1000);
         EXPECT_EQ(testsupport::OfCode(rig.Sim->Frames(), 'P').size(), 1u);
     }},
    {'V', Nothing,
     [](TFaultMatrix& rig, const TRefusal&) {
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnGraph"));
         rig.Sim->AdvanceClock(100);
         EXPECT_TRUE(WaitFor([&] { return testsupport::OfCode(rig.Sim->Frames(), 'V').size() >= 6; }));
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         // Polling goes on, but no sample was accepted, so nothing is plotted.
         EXPECT_TRUE(rig.Form->Measurement().Running());
         EXPECT_EQ(testsupport::Parts(rig.Form).Series1->History().Count(), 0);
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnGraph"));
         EXPECT_FALSE(rig.Form->Measurement().Running());
     }},
    {'S', Nothing,
     [](TFaultMatrix& rig, const TRefusal&) {
         TypeParam1(rig, "555");
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnSaveEEPROM"));
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         EXPECT_EQ(rig.Sim->State().Params[0], 555);    // the writes went through
         EXPECT_EQ(rig.Sim->State().Banks[0][0], 300);  // the bank was not stored
     }},
    {'L',
     [](TFaultMatrix& rig, const TRefusal&) { rig.Sim->SetBank(1, {111, 256, 256, 64, 200, 256}); },
     [](TFaultMatrix& rig, const TRefusal&) {
         rig.Sim->SetParam(0, 777);
         rig.Click(Ctl<TRadioGroup>(*rig.Form, "rgrpEEPROM")->Item(1));
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnLoadEEPROM"));
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         // A refused load reads nothing after it: no edit may show a set the
         // user could take for the bank's.
         EXPECT_EQ(rig.Panel0(), U("Команда L1 отклонена"));
         EXPECT_EQ(Param1(rig), "");
         EXPECT_TRUE(testsupport::OfCode(rig.Sim->Frames(), 'R').empty());
     },
     false},
    {'R', Nothing,
     [](TFaultMatrix& rig, const TRefusal&) {
         rig.Sim->SetParam(0, 777);
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnGetParams"));
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         // The read stops at its first step; the edits it could not read are empty.
         EXPECT_EQ(rig.Panel0(), U("Команда R0 отклонена"));
         EXPECT_EQ(Param1(rig), "");
         EXPECT_EQ(testsupport::Parts(rig.Form).Params->Words()[0], 300);
         EXPECT_EQ(testsupport::OfCode(rig.Sim->Frames(), 'R').size(), 1u);
     },
     false},
    {'W', Nothing,
     [](TFaultMatrix& rig, const TRefusal&) {
         TypeParam1(rig, "555");
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnSetParams"));
     },
     [](TFaultMatrix& rig, const TRefusal&) {
         EXPECT_EQ(rig.Sim->State().Params[0], 300);
         EXPECT_EQ(testsupport::OfCode(rig.Sim->Frames(), 'W').size(), 6u);
         // Every write refused is named, in one message.
         EXPECT_EQ(rig.Boxes->Texts().size(), 1u);
         EXPECT_TRUE(rig.Boxes->Texts().value(0).startsWith(U("Параметры записаны не все:\n#1 (signed): Команда W0 отклонена")));
         rig.Boxes = std::make_unique<TBoxCloser>();
         // Reading back shows what the controller kept.
         rig.Sim->SetFaults(sim::TFaults{});
         rig.Click(Ctl<QPushButton>(*rig.Form, "btnGetParams"));
         EXPECT_EQ(Param1(rig), "300");
     }},
    {'B', Nothing,
     [](TFaultMatrix& rig, const TRefusal&) { Ctl<TTrackBar>(*rig.Form, "tbarSubCommand")->SetPosition(300); },
     [](TFaultMatrix& rig, const TRefusal&) {
         EXPECT_EQ(rig.Sim->State().Drive, 0);
         EXPECT_EQ(testsupport::OfCode(rig.Sim->Frames(), 'B').size(), 1u);
     }},
};

void PrintTo(const TRefusal& refusal, std::ostream* os) { *os << "refused " << refusal.code; }

class TRefusals : public TFaultMatrix, public ::testing::WithParamInterface<TRefusal> {};

}  // namespace

TEST_P(TRefusals, TheWindowKeepsWhatTheControllerHoldsAndNamesTheRefusal) {
    const TRefusal& refusal = GetParam();
    refusal.arrange(*this, refusal);
    if (refusal.code != 'I') {
        Connect();
        ASSERT_EQ(testsupport::Parts(Form).Link->State(), lsDone);
        SetFaults([&](sim::TFaults& f) { f.RefuseCodes = std::string(1, refusal.code); });
    }
    ASSERT_TRUE(EndsInTime([&] { refusal.act(*this, refusal); }));
    ASSERT_FALSE(OfCode(Sim->Frames(), refusal.code).empty());
    if (refusal.noted) {
        EXPECT_TRUE(WaitFor([&] { return Panel0() == RefusedNote(refusal.code); }))
            << Panel0().toStdString();
    }
    refusal.check(*this, refusal);
    EXPECT_TRUE(Boxes->Boxes().empty()) << BoxList();
    ExpectNextCommandAccepted();
}

INSTANTIATE_TEST_SUITE_P(Matrix, TRefusals, ::testing::ValuesIn(Refusals), [](const auto& test) {
    const char code = test.param.code;
    return std::string(std::isupper(code) ? "Upper" : "Lower") + code;
});
