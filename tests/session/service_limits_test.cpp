// The limits of the service values: what the dialogs and kv60x-cli refuse, and
// with which words.

#include "session/service_limits.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const QString kYear = QStringLiteral("Podany rok poza dopuszczalnym zakresem");
const QString kMonth = QStringLiteral("Podany miesiąc poza dopuszczalnym zakresem");

TEST(ServiceLimits, StartupDateYearFirstThenMonth) {
    const struct {
        int year;
        int month;
        StartupDateField wrong;
    } cases[] = {
        {2000, 1, StartupDateField::None},
        {2099, 12, StartupDateField::None},
        {2009, 8, StartupDateField::None},
        {1999, 5, StartupDateField::Year},
        // Past 2099 the meter would report a year it was not given.
        {2100, 1, StartupDateField::Year},
        {2255, 1, StartupDateField::Year},
        {0, 5, StartupDateField::Year},
        {INT_MIN, 5, StartupDateField::Year},
        {INT_MAX, 5, StartupDateField::Year},
        {2020, 0, StartupDateField::Month},
        {2020, 13, StartupDateField::Month},
        {2020, -1, StartupDateField::Month},
        // 256 would narrow to 0 in the month's byte: checked before narrowing.
        {2020, 256 + 5, StartupDateField::Month},
        // Both wrong: only the year is named.
        {1999, 13, StartupDateField::Year},
    };
    for (const auto& c : cases) {
        StartupDateField wrong = StartupDateField::Month;
        const QString message = CheckStartupDate(c.year, c.month, &wrong);
        EXPECT_EQ(wrong, c.wrong) << c.year << "-" << c.month;
        const QString expected = c.wrong == StartupDateField::Year    ? kYear
                                 : c.wrong == StartupDateField::Month ? kMonth
                                                                      : QString();
        EXPECT_EQ(message, expected) << c.year << "-" << c.month;
    }
    EXPECT_EQ(CheckStartupDate(1999, 5), kYear);  // the field is optional
}

TEST(ServiceLimits, SerialNumberFromOneWithoutUpperLimit) {
    const struct {
        int serial;
        bool accepted;
    } cases[] = {{1, true},  {12345, true}, {INT_MAX, true},
                 {0, false}, {-1, false},   {INT_MIN, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(CheckSerialNumber(c.serial),
                  c.accepted ? QString() : QStringLiteral("Podaj prawidłowy numer seryjny"))
            << c.serial;
    }
}

TEST(ServiceLimits, VersionLetterIsTheFirstCharacterInTheMetersCodePage) {
    const struct {
        const char* text;
        char letter;
    } cases[] = {
        {"B", 'B'},    {"", ' '},                     // nothing typed: a space
        {"AB", 'A'},   {" ", ' '},    {"Ł", '\xA3'},  // one byte of code page 1250
        {"ż", '\xBF'}, {"€", '\x80'}, {"字", '?'},    // not in the code page
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VersionLetterFor(QString::fromUtf8(c.text)), c.letter) << c.text;
    }
}

}  // namespace
