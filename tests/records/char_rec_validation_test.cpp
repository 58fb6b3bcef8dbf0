#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ostream>

#include "records/char_rec_format.h"
#include "records/char_rec_validation.h"
#include "support/sample_records.h"

using testsupport::SampleRecord;

namespace {

const auto IndexName = [](const auto& info) { return std::to_string(info.index); };

// A form that passes: resistive, three increasing points.
CharRecForm GoodForm() {
    CharRecForm f;
    f.enableChecked = true;
    f.resistiveChecked = true;
    f.count = QStringLiteral("3");
    const char* rh[] = {"1.0", "2.0", "3.0"};
    const char* val[] = {"10", "20", "30"};
    for (int i = 0; i < 3; ++i) {
        f.humidity[i] = QString::fromLatin1(rh[i]);
        f.value[i] = QString::fromLatin1(val[i]);
    }
    return f;
}

struct CountCase {
    const char* text;
    int active;  // 0: refused
};
void PrintTo(const CountCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class PointCountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(PointCountTest, CountOutsideTwoToFifteenIsRefusedWithCountMessage) {
    CharRecForm f = GoodForm();
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        f.humidity[i] = QString::number(i + 1);
        f.value[i] = QString::number(i + 1);
    }
    f.count = QString::fromUtf8(GetParam().text);
    const CharRecValidation r = ValidateCharRec(f, CharRecData{});
    EXPECT_EQ(r.ok, GetParam().active != 0);
    if (GetParam().active != 0) {
        EXPECT_EQ(r.data.ACTIVE, GetParam().active);
    } else {
        EXPECT_EQ(r.message, charrecmsg::PointCount());
        EXPECT_EQ(r.focus, CharRecFocus::CountEdit);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, PointCountTest,
                         ::testing::Values(CountCase{"2", 2}, CountCase{"15", 15},
                                           CountCase{" 7abc", 7}, CountCase{"1", 0},
                                           CountCase{"16", 0}, CountCase{"0", 0},
                                           CountCase{"258", 0}, CountCase{"-254", 0},
                                           CountCase{"", 0}, CountCase{"abc", 0},
                                           CountCase{"4294967298", 0}),
                         IndexName);

TEST(CharRecValidation, CountMessageHasLineBreakAfterSie) {
    EXPECT_EQ(charrecmsg::PointCount(),
              QString::fromUtf8("Liczba punktów pomiarowych powinna zawierać się\n"
                                "w przedziale <2, 15>"));
}

struct OrderCase {
    std::vector<const char*> rh;
    bool ok;
};
void PrintTo(const OrderCase& c, std::ostream* os) {
    for (const char* t : c.rh) *os << t << ' ';
}

class ArgumentOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(ArgumentOrderTest, ArgumentsMustBeStrictlyMonotonicInTheFirstPairsDirection) {
    CharRecForm f = GoodForm();
    const auto& rh = GetParam().rh;
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        f.humidity[i] = i < static_cast<int>(rh.size()) ? QString::fromLatin1(rh[i]) : QString();
        f.value[i] = i < static_cast<int>(rh.size()) ? QString::number(i) : QString();
    }
    f.count = QString::number(static_cast<int>(rh.size()));
    const CharRecValidation r = ValidateCharRec(f, CharRecData{});
    EXPECT_EQ(r.ok, GetParam().ok) << r.message.toStdString();
    if (!GetParam().ok) {
        EXPECT_EQ(r.message, charrecmsg::ArgumentsOrder());
        EXPECT_EQ(r.focus, CharRecFocus::None);
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, ArgumentOrderTest,
                         ::testing::Values(OrderCase{{"1.0", "2.0", "3.0"}, true},
                                           OrderCase{{"3.0", "2.0", "1.0"}, true},
                                           OrderCase{{"1.0", "2.0", "2.0"}, false},
                                           OrderCase{{"1.0", "3.0", "2.0"}, false},
                                           OrderCase{{"5.0", "5.0"}, false},
                                           OrderCase{{"3", "2", "2.5"}, false},
                                           // No tolerance: the tiniest step still counts.
                                           OrderCase{{"1", "1.0000000000000002"}, true}),
                         IndexName);

TEST(CharRecValidation, ValuesCheckedAfterArgumentsWithTheirOwnDirection) {
    CharRecForm f = GoodForm();
    f.value[0] = "30";
    f.value[1] = "20";
    f.value[2] = "10";
    EXPECT_TRUE(ValidateCharRec(f, CharRecData{}).ok);
    f.value[2] = "25";
    CharRecValidation r = ValidateCharRec(f, CharRecData{});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, charrecmsg::ValuesMonotonic());
    // Bad arguments win over bad values.
    f.humidity[2] = "1.5";
    r = ValidateCharRec(f, CharRecData{});
    EXPECT_EQ(r.message, charrecmsg::ArgumentsOrder());
}

TEST(CharRecValidation, NeitherMethodButtonFailsBeforeTheCountIsLookedAt) {
    CharRecForm f = GoodForm();
    f.resistiveChecked = false;
    f.count = "1";
    const CharRecValidation r = ValidateCharRec(f, CharRecData{});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, QString::fromUtf8("Proszę wybrać metodę pomiaru"));
    EXPECT_EQ(r.focus, CharRecFocus::MethodRadio);
}

TEST(CharRecValidation, MethodAndFlagsFollowTheBoxes) {
    CharRecForm f = GoodForm();
    f.resistiveChecked = false;
    f.capacitiveChecked = true;
    f.compensationChecked = true;
    f.enableChecked = false;
    CharRecValidation r = ValidateCharRec(f, CharRecData{});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.data.METHOD, 1);
    EXPECT_EQ(r.data.COMPENSATION, 1);
    EXPECT_EQ(r.data.ENABLE, 0);
    f.resistiveChecked = true;  // both checked: resistive wins
    EXPECT_EQ(ValidateCharRec(f, CharRecData{}).data.METHOD, 0);
}

TEST(CharRecValidation, PasswordOnlyInServiceMode) {
    CharRecForm f = GoodForm();
    f.passwordChecked = true;
    CharRecData base;
    base.PASSWORD = 1;
    EXPECT_EQ(ValidateCharRec(f, base).data.PASSWORD, 0);
    f.serviceMode = true;
    EXPECT_EQ(ValidateCharRec(f, base).data.PASSWORD, 1);
    f.passwordChecked = false;
    EXPECT_EQ(ValidateCharRec(f, base).data.PASSWORD, 0);
}

TEST(CharRecValidation, TextsArePaddedWithSpacesAndCutToTheirByteLength) {
    CharRecForm f = GoodForm();
    f.name = "AB";
    f.code = "ABCDE";
    f.desc = QString(50, QLatin1Char('x'));
    f.certificate = QString::fromUtf8("Świadectwo");
    const CharRecValidation r = ValidateCharRec(f, CharRecData{});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::string(r.data.NAME, sizeof r.data.NAME), std::string("AB        \0", 11));
    EXPECT_EQ(std::string(r.data.CODE, sizeof r.data.CODE), std::string("ABC\0", 4));
    EXPECT_EQ(std::string(r.data.DESC), std::string(40, 'x'));
    // "Ś" is one byte (0x8C) in the code page: 10 bytes + 5 spaces.
    EXPECT_EQ(std::string(r.data.CERTIFICATE), std::string("\x8C"
                                                           "wiadectwo     "));
}

TEST(CharRecValidation, CompletedBlockHoldsParsedNumbersAndKeepsTheSlotNumber) {
    CharRecForm f = GoodForm();
    f.humidity[0] = "  12,5";
    f.humidity[1] = "13.25xyz";
    f.humidity[2] = "1e2";
    f.humidity[5] = "99";  // a hidden row's text is still read
    f.coefficient[0] = "0,1234567";
    f.coefficient[3] = "-2";
    f.createTime = 1700000000;
    f.saveTime = -5;
    CharRecData base;
    base.REC_NUMBER = 41;
    base.RH[9] = 7.0;  // rows not given become 0.0
    const CharRecValidation r = ValidateCharRec(f, base);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.data.REC_NUMBER, 41);
    EXPECT_EQ(r.data.RH[0], 12.5);
    EXPECT_EQ(r.data.RH[1], 13.25);
    EXPECT_EQ(r.data.RH[2], 100.0);
    EXPECT_EQ(r.data.RH[5], 99.0);
    EXPECT_EQ(r.data.RH[9], 0.0);
    EXPECT_EQ(r.data.COMPENS[0], 0.1234567);
    EXPECT_EQ(r.data.COMPENS[3], -2.0);
    EXPECT_EQ(r.data.CREATE_TIME, 1700000000);
    EXPECT_EQ(r.data.SAVE_TIME, -5);
    EXPECT_EQ(r.data.valid, 1);
}

// The form as the editor reads it back: rows the list does not show are empty.
CharRecForm AsRead(CharRecForm f) {
    const int rows = std::clamp(f.count.toInt(), 2, CharRecData::kPoints);
    for (int i = rows; i < CharRecData::kPoints; ++i) {
        f.humidity[i].clear();
        f.value[i].clear();
    }
    return f;
}

constexpr int32_t kNow = 1700000000;

TEST(ExactUnlessEdited, UntouchedFormGivesTheRecordBackByteForByte) {
    SampleRecord rec(6);  // a code short of its field, a date not set, points beyond the count
    std::memcpy(rec.DESC, "Ziarno\0xyz", 10);  // bytes after the terminator
    const CharRecForm shown = CharRecFormFromRecord(rec, false, kNow);
    const CharRecValidation r = ValidateCharRec(AsRead(shown), rec, &shown);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_TRUE(r.data == rec);
    EXPECT_EQ(r.data.COMPENS[3], rec.COMPENS[3]);
    EXPECT_EQ(r.data.CREATE_TIME, rec.CREATE_TIME);  // nothing invented
    EXPECT_EQ(std::string(r.data.DESC, 10), std::string("Ziarno\0xyz", 10));

    // Reading the shown texts instead rounds and invents: what the editor did.
    const CharRecValidation reread = ValidateCharRec(AsRead(shown), rec);
    ASSERT_TRUE(reread.ok);
    EXPECT_EQ(reread.data.COMPENS[3], std::round(rec.COMPENS[3] * 1e7) / 1e7);  // 7 decimals
    EXPECT_EQ(reread.data.RH[0], std::round(rec.RH[0] * 1e3) / 1e3);            // 3 decimals
    EXPECT_EQ(reread.data.CREATE_TIME, kNow);
}

TEST(ExactUnlessEdited, OnlyEditedFieldsAreReadWithTheUsualRules) {
    const CharRecData rec = SampleRecord(6);
    const CharRecForm shown = CharRecFormFromRecord(rec, false, kNow);
    CharRecForm f = AsRead(shown);
    f.name = QString::fromUtf8("Żyto");
    f.coefficient[2] = QStringLiteral("1,5e-6");
    f.humidity[1] = QStringLiteral("13,5");
    f.saveTime = kNow;
    CharRecValidation r = ValidateCharRec(f, rec, &shown);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(std::string(r.data.NAME), std::string("\xAFyto      "));  // padded again
    EXPECT_EQ(r.data.COMPENS[2], 1.5e-6);
    EXPECT_EQ(r.data.RH[1], 13.5);
    EXPECT_EQ(r.data.SAVE_TIME, kNow);
    CharRecData expected = rec;
    std::memcpy(expected.NAME, r.data.NAME, sizeof expected.NAME);
    expected.COMPENS[2] = 1.5e-6;
    expected.RH[1] = 13.5;
    expected.SAVE_TIME = kNow;
    EXPECT_TRUE(r.data == expected);  // everything else exactly as it was

    // An edited point is checked as always.
    f.humidity[2] = QStringLiteral("13.5");
    r = ValidateCharRec(f, rec, &shown);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, charrecmsg::ArgumentsOrder());
    // Typing back the very text that was shown counts as untouched.
    f.humidity[1] = shown.humidity[1];
    f.humidity[2] = shown.humidity[2];
    r = ValidateCharRec(f, rec, &shown);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.data.RH[1], rec.RH[1]);
}

TEST(ExactUnlessEdited, HiddenPointsStayUntilTheCountIsEdited) {
    const CharRecData rec = SampleRecord(6);
    const CharRecForm shown = CharRecFormFromRecord(rec, false, kNow);
    CharRecForm f = shown;
    f.count = QStringLiteral("7");  // reveals rows 5..7 as they were
    f.humidity[4] = QStringLiteral("26");
    f.value[4] = QStringLiteral("60");
    f.humidity[5] = QStringLiteral("27");
    f.value[5] = QStringLiteral("59");
    f.humidity[6] = QStringLiteral("28");  // row 7: humidity edited, value as shown
    f.value[6] = shown.value[6];
    CharRecValidation r = ValidateCharRec(AsRead(f), rec, &shown);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.data.ACTIVE, 7);
    EXPECT_EQ(r.data.RH[3], rec.RH[3]);
    EXPECT_EQ(r.data.RH[6], 28.0);
    EXPECT_EQ(r.data.VALUE[6], rec.VALUE[6]);  // revealed, untouched: exact

    // Count lowered: the rows no longer shown are cleared, as a record the
    // editor completes has nothing beyond its count.
    f = shown;
    f.count = QStringLiteral("3");
    r = ValidateCharRec(AsRead(f), rec, &shown);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.data.RH[2], rec.RH[2]);
    EXPECT_EQ(r.data.RH[3], 0.0);
    EXPECT_EQ(r.data.RH[6], 0.0);
    EXPECT_EQ(r.data.VALUE[6], 0.0);
}

TEST(ExactUnlessEdited, SingleFieldRule) {
    const QString shown = QStringLiteral("0.51234560");
    EXPECT_EQ(NumberUnlessEdited(shown, &shown, 0.512345600128), 0.512345600128);
    EXPECT_EQ(NumberUnlessEdited(QStringLiteral("0,75"), &shown, 0.512345600128), 0.75);
    EXPECT_EQ(NumberUnlessEdited(shown, nullptr, 0.512345600128), 0.5123456);
    EXPECT_EQ(ExactUnlessEdited(QStringLiteral("x"), &shown, 7, [](const QString&) { return 9; }),
              9);
}

TEST(CharRecAccess, PasswordRecordsOnlyInServiceMode) {
    CharRecData rec;
    EXPECT_TRUE(CharRecAccessAllowed(rec, false));
    rec.PASSWORD = 1;
    EXPECT_FALSE(CharRecAccessAllowed(rec, false));
    EXPECT_TRUE(CharRecAccessAllowed(rec, true));
    EXPECT_EQ(charrecmsg::AccessDenied(),
              QString::fromUtf8("Brak dostępu do charakterystyki - ochrona hasłem"));
}

}  // namespace
