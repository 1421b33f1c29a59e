// The regulator parameters and the EEPROM banks: conversion of the six edits,
// the stop at the first bad edit, and the frames each button puts on the wire.
#include <array>

#include "NumberText.h"
#include "ChartReaders.h"
#include "WindowFixture.h"

using namespace testsupport;

namespace {

using TParamTexts = std::array<const char*, 6>;

std::array<QLineEdit*, 6> ParamEdits(TMainForm& form) {
    return {form.edtParam1, form.edtParam2, form.edtParam3,
            form.edtParam4, form.edtParam5, form.edtParam6};
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

struct TConversionCase {
    int index;         // parameter word 0..5
    const char* text;
    uint16_t word;
};

}  // namespace

TEST_F(TParamConversion, EachEditToItsWord) {
    const TConversionCase cases[] = {
        {0, "40000", 40000},         // no range check: low 16 bits, reads back -25536
        {0, "-1", 65535},
        {0, "$FFFF", 65535},         // the integer conversion takes hex too
        {0, " 12", 12},              // leading blanks are skipped
        {4, "-32768", 32768},
        {5, "-1", 65535},
        {5, "70000", 70000 & 0xFFFF},
        {1, "1.5", 384},
        {1, "0.001953125", 0},       // 0.5 / 256: the half goes to the even 0
        {1, "0.005859375", 2},       // 1.5 / 256: the half goes to the even 2
        {2, "0.009765625", 2},       // 2.5 / 256 -> 2
        {3, "0.013671875", 4},       // 3.5 / 256 -> 4
        {1, "-1", 65280},            // two's complement, reads back as 255
        {2, "256", 0},               // 65536 keeps only its low 16 bits
        {3, "100.00390625", 25601},
        {1, "2e-2", 5},              // 5.12 -> 5
    };
    for (const TConversionCase& c : cases) {
        TParamTexts texts{"0", "0", "0", "0", "0", "0"};
        texts[size_t(c.index)] = c.text;
        Type(*Form, texts);
        ASSERT_TRUE(Form->ConvertParamEdits()) << c.text;
        EXPECT_EQ(Form->Link->FParams[size_t(c.index)], c.word) << "#" << c.index + 1 << " " << c.text;
    }
}

TEST_F(TParamConversion, FirstBadEditIsMarkedAndEarlierWordsKeepTheirNewValues) {
    struct TBadCase {
        int index;
        const char* text;
    };
    const TBadCase cases[] = {
        {0, ""}, {0, "abc"}, {0, "1.5"}, {0, "99999999999"}, {0, "12 "},
        {1, "1,5"}, {1, ""}, {2, "x"}, {3, "--1"}, {4, "3e2"}, {5, "1O"},
    };
    for (const TBadCase& c : cases) {
        Form->Link->FParams = {11, 22, 33, 44, 55, 66};
        TParamTexts texts{"1", "2", "3", "4", "5", "6"};
        texts[size_t(c.index)] = c.text;
        Type(*Form, texts);  // typing also clears an earlier mark
        EXPECT_FALSE(Form->ConvertParamEdits()) << c.text;
        const auto edits = ParamEdits(*Form);
        const std::array<uint16_t, 6> converted{1, 512, 768, 1024, 5, 6};
        const std::array<uint16_t, 6> before{11, 22, 33, 44, 55, 66};
        for (size_t i = 0; i < edits.size(); ++i) {
            EXPECT_EQ(Marked(edits[i]), int(i) == c.index) << "edit #" << i + 1 << " text " << c.text;
            EXPECT_EQ(Form->Link->FParams[i], int(i) < c.index ? converted[i] : before[i])
                << "word " << i << " text " << c.text;
        }
    }
}

TEST_F(TParamConversion, AValueBeyondSixtyFourBitsRaisesAfterTheEarlierWords) {
    Form->Link->FParams = {11, 22, 33, 44, 55, 66};
    Type(*Form, {"7", "1e30", "3", "4", "5", "6"});
    EXPECT_THROW(Form->ConvertParamEdits(), numtext::EOverflow);
    EXPECT_EQ(Form->Link->FParams[0], 7);
    EXPECT_EQ(Form->Link->FParams[1], 22);
    EXPECT_FALSE(Marked(Form->edtParam2));  // not a conversion error: no mark
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
    Type(*Form, {"40000", "-1", "1.5", "0.5", "-7", "-1"});
    Click(Form->btnSetParams);
    const std::vector<sim::TFrame> expected{
        Frame('W', Bytes({0, 0x40, 0x9C})), Frame('W', Bytes({1, 0x00, 0xFF})),
        Frame('W', Bytes({2, 0x80, 0x01})), Frame('W', Bytes({3, 0x80, 0x00})),
        Frame('W', Bytes({4, 0xF9, 0xFF})), Frame('W', Bytes({5, 0xFF, 0xFF}))};
    EXPECT_EQ(FramesSettled(), expected);
    EXPECT_EQ(Sim->State().Params, (sim::TParamSet{40000, 65280, 384, 128, 65529, 65535}));
    EXPECT_EQ(Form->edtParam1->text(), U("40000"));  // left as typed

    Sim->ClearFrames();
    Click(Form->btnGetParams);
    EXPECT_EQ(testsupport::Codes(FramesSettled()), "RRRRRR");
    EXPECT_EQ(Form->edtParam1->text(), U("-25536"));
    EXPECT_EQ(Form->edtParam2->text(), U("255"));
    EXPECT_EQ(Form->edtParam3->text(), U("1.5"));
    EXPECT_EQ(Form->edtParam4->text(), U("0.5"));
    EXPECT_EQ(Form->edtParam5->text(), U("-7"));
    EXPECT_EQ(Form->edtParam6->text(), U("65535"));
}

TEST_F(TParamWire, ABadThirdEditSendsNothing) {
    const sim::TParamSet before = Sim->State().Params;
    Form->Link->FParams = before;
    Type(*Form, {"9", "2", "x", "1", "1", "1"});
    Click(Form->btnSetParams);
    EXPECT_TRUE(FramesSettled().empty());
    EXPECT_TRUE(Marked(Form->edtParam3));
    EXPECT_EQ(Form->Link->FParams[0], 9);
    EXPECT_EQ(Form->Link->FParams[1], 512);
    for (size_t i = 2; i < 6; ++i) EXPECT_EQ(Form->Link->FParams[i], before[i]) << i;
    EXPECT_EQ(Sim->State().Params, before);
    EXPECT_TRUE(Boxes->Boxes().empty());  // a mark, never a message box
}

TEST_F(TParamWire, OverflowIsReportedAndNothingIsSentNotEvenTheSave) {
    Type(*Form, {"3", "1e30", "1", "1", "1", "1"});
    Click(Form->btnSetParams);
    Click(Form->btnSaveEEPROM);
    EXPECT_TRUE(FramesSettled().empty());
    ASSERT_EQ(Boxes->Boxes().size(), 2u);  // one default report per press
    EXPECT_EQ(Boxes->Boxes()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(Form->Link->FParams[0], 3);
    EXPECT_FALSE(Marked(Form->edtParam2));
}

TEST_F(TParamWire, SaveWithABadEditStillSavesTheSelectedBank) {
    Click(Form->rgrpEEPROM->Item(2));
    Type(*Form, {"1", "1", "1", "", "1", "1"});
    Click(Form->btnSaveEEPROM);
    EXPECT_EQ(FramesSettled(), (std::vector<sim::TFrame>{Frame('S', Bytes({2}))}));
    EXPECT_TRUE(Marked(Form->edtParam4));
}

TEST_F(TParamWire, SaveWritesThenStoresAndReturnsWithTheSavePending) {
    Click(Form->rgrpEEPROM->Item(4));
    Type(*Form, {"100", "2", "3", "0.5", "50", "7"});
    Form->btnSaveEEPROMClick();
    EXPECT_EQ(Form->Link->FLinkState, lsPending);  // the save's reply is not waited for
    // A read started at once waits for it instead of losing its first step.
    Form->btnGetParamsClick();
    EXPECT_EQ(testsupport::Codes(FramesSettled()), "WWWWWWSRRRRRR");
    EXPECT_EQ(OfCode(Sim->Frames(), 'S').at(0).Payload, Bytes({4}));
    EXPECT_EQ(OfCode(Sim->Frames(), 'R').at(0).Payload, Bytes({0}));
    EXPECT_EQ(Sim->State().Banks[4], (sim::TParamSet{100, 512, 768, 128, 50, 7}));
}

TEST_F(TParamWire, LoadSendsTheBankThenReadsAllSix) {
    Sim->SetBank(3, {65531, 384, 25601, 2560, 100, 65535});
    Click(Form->rgrpEEPROM->Item(3));
    Click(Form->btnLoadEEPROM);
    std::vector<sim::TFrame> expected{Frame('L', Bytes({3}))};
    for (int i = 0; i < 6; ++i) expected.push_back(Frame('R', Bytes{uint8_t(i)}));
    EXPECT_EQ(FramesSettled(), expected);
    EXPECT_EQ(Form->Link->FParams, (std::array<uint16_t, 6>{65531, 384, 25601, 2560, 100, 65535}));
    EXPECT_EQ(Form->edtParam1->text(), U("-5"));
    EXPECT_EQ(Form->edtParam3->text(), U("100"));  // 100.0039 shown with four digits
    EXPECT_EQ(Form->edtParam6->text(), U("65535"));
}

TEST_F(TParamWire, ARefusedLoadReadsNothingAfterIt) {
    SetFaults([](sim::TFaults& f) { f.RefuseCodes = "L"; });
    Form->Link->FParams.fill(0);
    Click(Form->rgrpEEPROM->Item(3));
    Click(Form->btnLoadEEPROM);
    EXPECT_EQ(testsupport::Codes(FramesSettled()), "L");
    EXPECT_EQ(Form->Link->FParams, (std::array<uint16_t, 6>{}));
    for (QLineEdit* edit : {Form->edtParam1, Form->edtParam4, Form->edtParam6})
        EXPECT_TRUE(edit->text().isEmpty());  // no edit shows a set the bank did not give
    EXPECT_EQ(Form->StatusBar->PanelText(0), U("Команда L3 отклонена"));
}
