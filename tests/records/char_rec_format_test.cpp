#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <cfloat>
#include <climits>
#include <clocale>
#include <cstdlib>

#include "records/char_rec_format.h"

namespace {

// Switches LC_NUMERIC to a locale with a decimal comma for the test's duration,
// compiling one into a temporary folder when the system has none installed.
class CommaLocale {
public:
    CommaLocale() {
        for (const char* name : {"pl_PL.UTF-8", "de_DE.UTF-8", "pl_PL.utf8", "de_DE.utf8"}) {
            if (std::setlocale(LC_NUMERIC, name)) return;
        }
        if (!dir_.isValid()) return;
        const QString out = dir_.filePath(QStringLiteral("pl_PL.UTF-8"));
        QProcess::execute(QStringLiteral("localedef"), {"-i", "pl_PL", "-f", "UTF-8", out});
        qputenv("LOCPATH", QFile::encodeName(dir_.path()));
        std::setlocale(LC_NUMERIC, "pl_PL.UTF-8");
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, "C"); }
    bool active() const { return *std::localeconv()->decimal_point == ','; }

private:
    QTemporaryDir dir_;
};

TEST(NumberFormat, FixedDecimalsWithFullStopUnderACommaLocale) {
    CommaLocale loc;
    if (!loc.active()) GTEST_SKIP() << "no locale with a decimal comma available";
    EXPECT_EQ(FormatHumidity(12.5), "12.500");
    EXPECT_EQ(FormatValue(-0.123456), "-0.12346");
    EXPECT_EQ(FormatCoefficient(1.0 / 3.0), "0.3333333");
    EXPECT_EQ(FormatRange(5.04, 25.96), "5.0...26.0");
    // Parsing ignores the process locale as well.
    EXPECT_EQ(ParseNumber("12.5"), 12.5);
    EXPECT_EQ(ParseNumber("12,5"), 12.5);
}

struct ParseCase {
    const char* text;
    double expected;
};
void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseNumberTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTest, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(ParseNumber(QString::fromUtf8(GetParam().text)), GetParam().expected)
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseNumberTest,
    ::testing::Values(ParseCase{"12,5", 12.5}, ParseCase{"  \t-3.25abc", -3.25},
                      ParseCase{"+.5", 0.5}, ParseCase{"5.", 5.0}, ParseCase{"1,5,7", 1.5},
                      ParseCase{"2e3", 2000.0}, ParseCase{"2E-1x", 0.2}, ParseCase{"7e", 7.0},
                      ParseCase{"7e+", 7.0}, ParseCase{"", 0.0}, ParseCase{"abc", 0.0},
                      ParseCase{".", 0.0}, ParseCase{"-", 0.0}, ParseCase{"0x1A", 0.0},
                      ParseCase{"inf", 0.0}, ParseCase{"nan", 0.0}, ParseCase{"1e999", DBL_MAX},
                      ParseCase{"-1e999", -DBL_MAX}, ParseCase{"٣", 0.0}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(ParseInt, LeadingIntegerClampedToIntRange) {
    EXPECT_EQ(ParseInt(" 15"), 15);
    EXPECT_EQ(ParseInt("-254"), -254);
    EXPECT_EQ(ParseInt("+7x"), 7);
    EXPECT_EQ(ParseInt("2,9"), 2);
    EXPECT_EQ(ParseInt("abc"), 0);
    EXPECT_EQ(ParseInt(""), 0);
    EXPECT_EQ(ParseInt("- 5"), 0);
    EXPECT_EQ(ParseInt("2147483647"), INT_MAX);
    EXPECT_EQ(ParseInt("2147483648"), INT_MAX);
    EXPECT_EQ(ParseInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseInt("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(ParseInt64("9223372036854775807"), LLONG_MAX);
    EXPECT_EQ(ParseInt64("9223372036854775808"), LLONG_MAX);
    EXPECT_EQ(ParseInt64("-9223372036854775808"), LLONG_MIN);
    EXPECT_EQ(ParseInt64("-9223372036854775809"), LLONG_MIN);
}

TEST(HumidityRange, OnlyForActiveRecordsWithOneToFifteenPoints) {
    CharRecData rec;
    rec.ENABLE = 1;
    rec.ACTIVE = 3;
    rec.RH[0] = 8.04;
    rec.RH[2] = 30.06;
    rec.RH[3] = 99.0;
    EXPECT_EQ(HumidityRangeText(rec), "8.0...30.1");
    rec.ACTIVE = 1;
    EXPECT_EQ(HumidityRangeText(rec), "8.0...8.0");
    for (uint8_t active : {0, 16, 255}) {
        rec.ACTIVE = active;
        EXPECT_EQ(HumidityRangeText(rec), QString()) << int(active);
    }
    rec.ACTIVE = 3;
    rec.ENABLE = 0;
    EXPECT_EQ(HumidityRangeText(rec), QString());
    rec.ENABLE = 2;
    EXPECT_EQ(HumidityRangeText(rec), QString());
}

}  // namespace
