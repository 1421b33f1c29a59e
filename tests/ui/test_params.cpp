// The regulator parameters and the EEPROM banks: conversion of the six edits,
// the stop at the first bad edit, and the frames each button puts on the wire.
#include <array>
#include <optional>
#include <string>

#include "link/NumberText.h"
#include "tests/support/WindowDriver.h"
#include "tests/support/WindowFixture.h"
#include "tests/ui/ChartReaders.h"
#include "tests/support/WindowParts.h"

using namespace testsupport;

namespace {

using TParamTexts = std::array<const char*, 6>;

std::array<QLineEdit*, 6> ParamEdits(TMainForm& form) {
    return {Ctl<QLineEdit>(form, "edtParam1"), Ctl<QLineEdit>(form, "edtParam2"), Ctl<QLineEdit>(form, "edtParam3"),
            Ctl<QLineEdit>(form, "edtParam4"), Ctl<QLineEdit>(form, "edtParam5"), Ctl<QLineEdit>(form, "edtParam6")};
}

void Type(TMainForm& form, const TParamTexts& texts) {
    const auto edits = ParamEdits(form);
    for (size_t i = 0; i < edits.size(); ++i) edits[i]->setText(U(texts[i]));
}

// Reals are typed with a point in these tests, whatever the machine's locale.
class TDecimalPoint {
public:
    TDecimalPoint() { numtext::SetDecimalSeparator('.'); }
    ~TDecimalPoint() { numtext::ResetDecimalSeparator(); }
};

class TParamConversion : public testsupport::TWindowTest {
protected:
    TDecimalPoint FPoint;
};

}  // namespace

TEST_F(TParamConversion, FirstBadEditIsMarkedAndEarlierWordsKeepTheirNewValues) {
    struct TBadCase {
        int index;
        const char* text;
    };
    const TBadCase cases[] = {
        {0, ""}, {0, "abc"}, {0, "1.5"}, {0, "99999999999"}, {0, "12 "},
        {1, "1,5"}, {1, ""}, {2, "x"}, {3, "--1"}, {4, "3e2"}, {5, "1O"},
        {1, "1e30"}, {3, "-1"},  // out of range: marked the same way (and named in a box)
    };
    for (const TBadCase& c : cases) {
        testsupport::Parts(Form).Params->SetWords({11, 22, 33, 44, 55, 66});
        TParamTexts texts{"1", "2", "3", "4", "5", "6"};
        texts[size_t(c.index)] = c.text;
        Type(*Form, texts);  // typing also clears an earlier mark
        EXPECT_FALSE(testsupport::Parts(Form).Params->ConvertEdits()) << c.text;
        const auto edits = ParamEdits(*Form);
        const std::array<uint16_t, 6> converted{1, 512, 768, 1024, 5, 6};
        const std::array<uint16_t, 6> before{11, 22, 33, 44, 55, 66};
        for (size_t i = 0; i < edits.size(); ++i) {
            EXPECT_EQ(Marked(edits[i]), int(i) == c.index) << "edit #" << i + 1 << " text " << c.text;
            EXPECT_EQ(testsupport::Parts(Form).Params->Words()[i], int(i) < c.index ? converted[i] : before[i])
                << "word " << i << " text " << c.text;
        }
    }
}

namespace {

class TParamWire : public TLiveWindowTest {
protected:
    void SetUp() override {
        TLiveWindowTest::SetUp();
        if (HasFatalFailure()) return;
        Connect();
    }
    TDecimalPoint FPoint;
};

sim::TFrame Frame(char code, std::vector<uint8_t> payload) { return {uint8_t(code), payload}; }

}  // namespace

TEST_F(TParamWire, SetWritesTheSixWordsAndGetReadsThemBack) {
    Type(*Form, {"-25536", "255", "1.5", "0.5", "-7", "65535"});
    Click(Ctl<QPushButton>(*Form, "btnSetParams"));
    const std::vector<sim::TFrame> expected{
        Frame('W', Bytes({0, 0x40, 0x9C})), Frame('W', Bytes({1, 0x00, 0xFF})),
        Frame('W', Bytes({2, 0x80, 0x01})), Frame('W', Bytes({3, 0x80, 0x00})),
        Frame('W', Bytes({4, 0xF9, 0xFF})), Frame('W', Bytes({5, 0xFF, 0xFF}))};
    EXPECT_EQ(FramesSettled(), expected);
    EXPECT_EQ(Sim->State().Params, (sim::TParamSet{40000, 65280, 384, 128, 65529, 65535}));

    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnGetParams"));
    EXPECT_EQ(testsupport::Codes(FramesSettled()), "RRRRRR");
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), U("-25536"));
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam2")->text(), U("255"));
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam3")->text(), U("1.5"));
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam4")->text(), U("0.5"));
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam5")->text(), U("-7"));
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam6")->text(), U("65535"));
}

TEST_F(TParamWire, ABadThirdEditSendsNothing) {
    const sim::TParamSet before = Sim->State().Params;
    testsupport::Parts(Form).Params->SetWords(before);
    Type(*Form, {"9", "2", "x", "1", "1", "1"});
    Click(Ctl<QPushButton>(*Form, "btnSetParams"));
    EXPECT_TRUE(FramesSettled().empty());
    EXPECT_TRUE(Marked(Ctl<QLineEdit>(*Form, "edtParam3")));
    EXPECT_EQ(testsupport::Parts(Form).Params->Words()[0], 9);
    EXPECT_EQ(testsupport::Parts(Form).Params->Words()[1], 512);
    for (size_t i = 2; i < 6; ++i) EXPECT_EQ(testsupport::Parts(Form).Params->Words()[i], before[i]) << i;
    EXPECT_EQ(Sim->State().Params, before);
    EXPECT_TRUE(Boxes->Boxes().empty());  // a mark, never a message box
}

// A value the word cannot hold is never wrapped into one it can: a sign
// typed by mistake would otherwise set the highest gain.
TEST_F(TParamWire, OutOfRangeOrBadEditsSendNothingNotEvenTheSave) {
    struct TCase {
        TParamTexts texts;
        const char* edit;
        const char* message;  // none: not a number, a mark alone
    };
    const TCase cases[] = {
        {{"1", "1", "-1", "1", "1", "1"}, "edtParam3", "Параметр Kp (#3): допустимо от 0 до 255.99609375"},
        {{"40000", "1", "1", "1", "1", "1"}, "edtParam1", "Параметр #1 (signed): допустимо от -32768 до 32767"},
        {{"1", "1", "1", "1", "1", "-1"}, "edtParam6", "Параметр #6: допустимо от 0 до 65535"},
        {{"1", "300", "1", "1", "1", "1"}, "edtParam2", "Параметр Kf (#2): допустимо от 0 до 255.99609375"},
        {{"1", "1", "1", "", "1", "1"}, "edtParam4", nullptr},
    };
    Click(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(2));
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.texts[0]) + " " + c.texts[1] + " " + c.texts[2]);
        Boxes = std::make_unique<TBoxCloser>();
        Type(*Form, c.texts);
        Click(Ctl<QPushButton>(*Form, "btnSetParams"));
        Click(Ctl<QPushButton>(*Form, "btnSaveEEPROM"));
        EXPECT_TRUE(FramesSettled().empty());
        EXPECT_TRUE(Marked(Ctl<QLineEdit>(*Form, c.edit)));
        const QStringList expected = c.message ? QStringList{U(c.message), U(c.message)} : QStringList{};
        EXPECT_EQ(Boxes->Texts(), expected);  // one message a press
    }
}

// What the console filled in goes back as the word it came from, whatever
// the four digits of the display dropped; what the user types is converted.
TEST_F(TParamWire, ReadThenWriteIsTheIdentity) {
    Sim->SetBank(0, {1, 65535, 25601, 2560, 5, 6});
    Click(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(0));
    Click(Ctl<QPushButton>(*Form, "btnLoadEEPROM"));
    ASSERT_EQ(Ctl<QLineEdit>(*Form, "edtParam2")->text(), U("256"));
    Sim->ClearFrames();
    Click(Ctl<QPushButton>(*Form, "btnSetParams"));
    EXPECT_EQ(FramesSettled().size(), 6u);
    EXPECT_EQ(Sim->State().Params, (sim::TParamSet{1, 65535, 25601, 2560, 5, 6}));
    Ctl<QLineEdit>(*Form, "edtParam3")->selectAll();
    QTest::keyClicks(Ctl<QLineEdit>(*Form, "edtParam3"), "100");  // the text it had, but typed: taken as typed
    Click(Ctl<QPushButton>(*Form, "btnSetParams"));
    EXPECT_EQ(Sim->State().Params, (sim::TParamSet{1, 65535, 25600, 2560, 5, 6}));
}

TEST_F(TParamWire, SaveWritesThenStoresAndReturnsWithTheSavePending) {
    Click(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(4));
    Type(*Form, {"100", "2", "3", "0.5", "50", "7"});
    testsupport::Parts(Form).Params->btnSaveEEPROMClick();
    EXPECT_EQ(testsupport::Parts(Form).Link->State(), lsPending);  // the save's reply is not waited for
    // A read started at once waits for it instead of losing its first step.
    testsupport::Parts(Form).Params->btnGetParamsClick();
    EXPECT_EQ(testsupport::Codes(FramesSettled()), "WWWWWWSRRRRRR");
    EXPECT_EQ(OfCode(Sim->Frames(), 'S').at(0).Payload, Bytes({4}));
    EXPECT_EQ(OfCode(Sim->Frames(), 'R').at(0).Payload, Bytes({0}));
    EXPECT_EQ(Sim->State().Banks[4], (sim::TParamSet{100, 512, 768, 128, 50, 7}));
}

TEST_F(TParamWire, LoadSendsTheBankThenReadsAllSix) {
    Sim->SetBank(3, {65531, 384, 25601, 2560, 100, 65535});
    Click(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(3));
    Click(Ctl<QPushButton>(*Form, "btnLoadEEPROM"));
    std::vector<sim::TFrame> expected{Frame('L', Bytes({3}))};
    for (int i = 0; i < 6; ++i) expected.push_back(Frame('R', Bytes{uint8_t(i)}));
    EXPECT_EQ(FramesSettled(), expected);
    EXPECT_EQ(testsupport::Parts(Form).Params->Words(), (std::array<uint16_t, 6>{65531, 384, 25601, 2560, 100, 65535}));
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam1")->text(), U("-5"));
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam3")->text(), U("100"));  // 100.0039 shown with four digits
    EXPECT_EQ(Ctl<QLineEdit>(*Form, "edtParam6")->text(), U("65535"));
}

TEST_F(TParamWire, ARefusedLoadReadsNothingAfterIt) {
    SetFaults([](sim::TFaults& f) { f.RefuseCodes = "L"; });
    testsupport::Parts(Form).Params->SetWords({});
    Click(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(3));
    Click(Ctl<QPushButton>(*Form, "btnLoadEEPROM"));
    EXPECT_EQ(testsupport::Codes(FramesSettled()), "L");
    EXPECT_EQ(testsupport::Parts(Form).Params->Words(), (std::array<uint16_t, 6>{}));
    for (QLineEdit* edit : {Ctl<QLineEdit>(*Form, "edtParam1"), Ctl<QLineEdit>(*Form, "edtParam4"), Ctl<QLineEdit>(*Form, "edtParam6")})
        EXPECT_TRUE(edit->text().isEmpty());  // no edit shows a set the bank did not give
    EXPECT_EQ(Ctl<TStatusBar>(*Form, "StatusBar")->PanelText(0), U("Команда L3 отклонена"));
}

// Every write reaches the controller or is named: a poll under way delays a
// write instead of dropping it, a refused write is told in one message, and
// a bank is never saved over a write that failed.
TEST_F(TParamWire, EveryWriteArrivesOrIsNamedAndNoBankOverAFailure) {
    struct TCase {
        const char* name;
        bool measuring;                  // polls at 1 ms meet the writes
        std::optional<uint8_t> refused;  // the parameter whose write the controller refuses
        const char* button;
        const char* codes;               // the commands that reached the controller
        const char* message;             // none: no box
    };
    const TCase cases[] = {
        {"set while measuring", true, std::nullopt, "btnSetParams", "WWWWWW", nullptr},
        {"save while measuring", true, std::nullopt, "btnSaveEEPROM", "WWWWWWS", nullptr},
        {"set, Kp refused", false, 2, "btnSetParams", "WWWWWW",
         "Параметры записаны не все:\nKp (#3): Команда W2 отклонена"},
        {"save, Kp refused", false, 2, "btnSaveEEPROM", "WWWWWW",
         "Параметры записаны не все, в Bank 2 не сохранено:\nKp (#3): Команда W2 отклонена"},
    };
    Click(Ctl<TRadioGroup>(*Form, "rgrpEEPROM")->Item(2));
    Ctl<QLineEdit>(*Form, "edtTimerPeriod")->setText("1");
    uint16_t first = 100;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Boxes = std::make_unique<TBoxCloser>();
        SetFaults([&c](sim::TFaults& f) { f.RefuseParamWrite = c.refused; });
        const sim::TParamSet bank = Sim->State().Banks[2], before = Sim->State().Params;
        if (c.measuring) {
            Click(Ctl<QPushButton>(*Form, "btnGraph"));
            ASSERT_TRUE(WaitFor([this] { return testsupport::Parts(Form).Series1->History().Count() >= 20; }));
        }
        const QByteArray firstText = QByteArray::number(++first);
        Type(*Form, {firstText.constData(), "2", "3", "0.5", "50", "7"});
        Sim->ClearFrames();
        Click(Ctl<QPushButton>(*Form, c.button));
        if (c.measuring) Click(Ctl<QPushButton>(*Form, "btnGraph"));
        ASSERT_TRUE(LinkIdle());
        std::string codes = testsupport::Codes(FramesSettled());
        std::erase(codes, 'V');
        EXPECT_EQ(codes, c.codes);
        sim::TParamSet wanted{first, 512, 768, 128, 50, 7};
        if (c.refused) wanted[*c.refused] = before[*c.refused];
        EXPECT_EQ(Sim->State().Params, wanted);
        EXPECT_EQ(Sim->State().Banks[2], std::string(c.codes).ends_with('S') ? wanted : bank);
        EXPECT_EQ(Boxes->Texts(), c.message ? QStringList{U(c.message)} : QStringList{});
    }
}
