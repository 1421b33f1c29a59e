// Conversions of typed numbers and the display of parameter words.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <tuple>

#include <QLocale>

#include "link/NumberText.h"
#include "link/ParamWords.h"

using namespace numtext;

namespace {

// Restores the separator the other tests expect.
class NumberText : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator(u'.'); }
    void TearDown() override { SetDecimalSeparator(u'.'); }
};

struct IntCase {
    const char* text;
    std::optional<int32_t> expected;
};

const IntCase kIntCases[] = {
    {"0", 0},
    {"42", 42},
    {"+42", 42},
    {"-42", -42},
    {"   17", 17},
    {"\t-3", -3},
    {"000000000000000000123", 123},
    {"2147483647", 2147483647},
    {"-2147483648", std::numeric_limits<int32_t>::min()},
    {"$1F", 31},
    {"$1f", 31},
    {"x10", 16},
    {"X10", 16},
    {"0x10", 16},
    {"0X7fffffff", 2147483647},
    {"-$10", -16},
    {"+0x10", 16},
    {"-$80000000", std::numeric_limits<int32_t>::min()},
    {" $0000000000000000FF", 255},
    // failures
    {"", std::nullopt},
    {"   ", std::nullopt},
    {"+", std::nullopt},
    {"-", std::nullopt},
    {"$", std::nullopt},
    {"0x", std::nullopt},
    {"x", std::nullopt},
    {"12 ", std::nullopt},
    {"12a", std::nullopt},
    {"1.5", std::nullopt},
    {"- 5", std::nullopt},
    {"--5", std::nullopt},
    {"2147483648", std::nullopt},
    {"-2147483649", std::nullopt},
    {"99999999999999999999", std::nullopt},
    {"$80000000", std::nullopt},
    {"$FFFFFFFF", std::nullopt},
    {"0x100000000", std::nullopt},
    {"$G1", std::nullopt},
    {"0x-1", std::nullopt},
    {"$ 1", std::nullopt},
    {"１２", std::nullopt},  // full-width digits are not digits here
};

TEST_F(NumberText, IntegerConversionTable) {
    for (const IntCase& c : kIntCases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToInt(QString::fromUtf8(c.text)), c.expected);
    }
}

struct RealCase {
    const char* text;
    QChar separator;
    std::optional<long double> expected;
};

const RealCase kRealCases[] = {
    {"1.5", u'.', 1.5L},
    {"1,5", u',', 1.5L},
    {"-0.25", u'.', -0.25L},
    {"+2", u'.', 2.0L},
    {"  3.", u'.', 3.0L},
    {".5", u'.', 0.5L},
    {"1e3", u'.', 1000.0L},
    {"1.5E-2", u'.', 0.015L},
    {"2,5e+1", u',', 25.0L},
    {" 7 ", u'.', 7.0L},
    {"255.99609375", u'.', 255.99609375L},
    // failures: a number written with the other separator (kNotReals: no number with either)
    {"1,5", u'.', std::nullopt},
    {"1.5", u',', std::nullopt},
};

const char* const kNotReals[] = {"",    ".",   "1e",   "e5",      "1.5x", "1 5",
                                 "inf", "nan", "0x10", "1e99999", "1.2.3"};

TEST_F(NumberText, RealConversionTable) {
    for (const RealCase& c : kRealCases) {
        SCOPED_TRACE(std::string(c.text) + " sep " + char(c.separator.unicode()));
        SetDecimalSeparator(c.separator);
        const std::optional<long double> got = StrToFloat(QString::fromUtf8(c.text));
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (got) {
            EXPECT_EQ(*got, *c.expected);
        }
    }
    for (const QChar separator : {QChar(u'.'), QChar(u',')}) {
        SetDecimalSeparator(separator);
        for (const char* text : kNotReals)
            EXPECT_FALSE(StrToFloat(QString::fromUtf8(text)).has_value())
                << text << " sep " << char(separator.unicode());
    }
}

TEST_F(NumberText, RoundHalfEvenTable) {
    const struct {
        long double value;
        int64_t expected;
    } cases[] = {
        {0.5L, 0},   {1.5L, 2},    {2.5L, 2},    {-0.5L, 0},  {-1.5L, -2}, {-2.5L, -2},
        {2.4999L, 2}, {2.5001L, 3}, {-2.5001L, -3}, {7.0L, 7},   {-7.0L, -7},
        {9223372036854775807.0L, std::numeric_limits<int64_t>::max()},
        {-9223372036854775808.0L, std::numeric_limits<int64_t>::min()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(double(c.value));
        EXPECT_EQ(RoundHalfEvenToInt64(c.value), c.expected);
    }
}

TEST_F(NumberText, RoundingOutsideTheRangeRaisesOverflow) {
    EXPECT_THROW(RoundHalfEvenToInt64(9223372036854775808.0L), EOverflow);
    EXPECT_THROW(RoundHalfEvenToInt64(-9223372036854775810.0L), EOverflow);
    EXPECT_THROW(RoundHalfEvenToInt64(std::numeric_limits<long double>::infinity()), EOverflow);
    EXPECT_THROW(RoundHalfEvenToInt64(std::nanl("")), EOverflow);
}

TEST_F(NumberText, ParameterFormatTable) {
    const struct {
        uint16_t word;
        const char* point;
        const char* comma;
    } cases[] = {
        {0, "0", "0"},
        {1, "0.003906", "0,003906"},
        {272, "1.063", "1,063"},  // 1.0625: a tie rounds up on the exact digits
        {384, "1.5", "1,5"},
        {25700, "100.4", "100,4"},
        {65535, "256", "256"},  // 255.99609375 rounds up to a whole number
        {256, "1", "1"},
        {2, "0.007813", "0,007813"},
        {3, "0.01172", "0,01172"},  // 0.01171875
        {25, "0.09766", "0,09766"},  // 0.09765625
        {2559, "9.996", "9,996"},   // 9.99609375
        {2560, "10", "10"},
        {65280, "255", "255"},
        {65408, "255.5", "255,5"},
        {32767, "128", "128"},      // 127.99609375
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        SetDecimalSeparator(u'.');
        EXPECT_EQ(FormatParam(c.word), QString::fromUtf8(c.point));
        SetDecimalSeparator(u',');
        EXPECT_EQ(FormatParam(c.word), QString::fromUtf8(c.comma));
    }
}

// What is shown must read back, with the same separator, as the shown value.
TEST_F(NumberText, EveryFormattedWordReadsBackWithinItsRounding) {
    for (QChar sep : {QChar(u'.'), QChar(u',')}) {
        SetDecimalSeparator(sep);
        for (uint32_t word = 0; word <= 0xFFFF; word += 7) {
            const QString shown = FormatParam(uint16_t(word));
            const std::optional<long double> back = StrToFloat(shown);
            ASSERT_TRUE(back.has_value()) << shown.toStdString();
            const long double exact = word / 256.0L;
            const long double digitUnit = std::pow(10.0L, std::floor(std::log10(std::max(exact, 1e-9L))) - 3);
            EXPECT_LE(std::fabs(*back - exact), digitUnit / 2 + 1e-12L) << word;
            EXPECT_FALSE(shown.contains(sep == u'.' ? u',' : u'.'));
        }
    }
}

TEST_F(NumberText, SeparatorFollowsTheLocaleUnlessSet) {
    ResetDecimalSeparator();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DecimalSeparator(), QChar(u','));
    EXPECT_EQ(FormatParam(384), QStringLiteral("1,5"));
    EXPECT_EQ(StrToFloat(QStringLiteral("1,5")), 1.5L);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(DecimalSeparator(), QChar(u'.'));
    SetDecimalSeparator(u';');
    EXPECT_EQ(FormatParam(384), QStringLiteral("1;5"));
}

// Each parameter converts only within what its word holds: both ends, one
// past each end, a sign where none fits; never wrapped.
TEST_F(NumberText, ParametersConvertOnlyWithinTheirRange) {
    using paramwords::EOutcome;
    struct TCase {
        int index;
        const char* text;
        std::optional<uint16_t> word;  // none: out of range
    };
    const TCase cases[] = {
        {0, "-32768", 32768}, {0, "32767", 32767}, {0, "-32769", {}}, {0, "32768", {}}, {0, "40000", {}},
        {0, "$7FFF", 32767},  {0, "$FFFF", {}},    {0, " -1", 65535},
        {4, "-32768", 32768}, {4, "32767", 32767}, {4, "-32769", {}}, {4, "32768", {}},
        {5, "0", 0},          {5, "65535", 65535}, {5, "-1", {}},     {5, "65536", {}},
        {1, "0", 0},          {1, "255.99609375", 65535}, {1, "255.998", 65535}, {1, "255.9981", {}},
        {1, "256", {}},       {1, "300", {}},      {1, "-1", {}},     {1, "1e30", {}},
        {1, "-0.001953125", 0},  // -0.5 / 256 rounds to the even 0
        {1, "-0.0019532", {}},
        {2, "1.5", 384},      {2, "0.001953125", 0}, {2, "0.005859375", 2}, {3, "100.00390625", 25601},
        {3, "0.013671875", 4}, {1, "2e-2", 5},
    };
    for (const TCase& c : cases) {
        const paramwords::TConversion got = paramwords::Convert(c.index, QString::fromUtf8(c.text));
        EXPECT_EQ(got.outcome, c.word ? EOutcome::Converted : EOutcome::OutOfRange) << c.index << " " << c.text;
        if (c.word) {
            EXPECT_EQ(got.word, *c.word) << c.index << " " << c.text;
        }
    }
    for (const char* bad : {"", "abc", "1.5x", "--1"})
        EXPECT_EQ(paramwords::Convert(1, QString::fromUtf8(bad)).outcome, EOutcome::NotANumber) << bad;
    EXPECT_EQ(paramwords::Convert(0, QStringLiteral("1.5")).outcome, EOutcome::NotANumber);
    EXPECT_EQ(paramwords::RangeMessage(2), QString::fromUtf8("Параметр Kp (#3): допустимо от 0 до 255.99609375"));
    EXPECT_EQ(paramwords::RangeMessage(0), QString::fromUtf8("Параметр #1 (signed): допустимо от -32768 до 32767"));
}

// Two words that differ never read alike: a word joins its text where the other's reads the same.
TEST_F(NumberText, DifferingWordsThatReadAlikeShowTheirWords) {
    const std::tuple<int, uint16_t, uint16_t, const char*, const char*> cases[] = {
        {1, 25601, 25600, "слово", "100 (слово 25601)"}, {3, 25600, 25601, "word", "100 (word 25600)"},
        {2, 25600, 25600, "слово", "100"}, {2, 640, 641, "слово", "2.5"}, {0, 65531, 5, "слово", "-5"}};
    for (const auto& [index, word, other, name, shown] : cases)
        EXPECT_EQ(paramwords::DistinctText(index, word, other, name), QString::fromUtf8(shown)) << word;
}

}  // namespace
