#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "cli/record_text.h"
#include "records/record_files.h"
#include "support/sample_records.h"

using testsupport::SampleRecord;

namespace {

TEST(RecordJson, RecordRoundTripsThroughJsonAndKvrByteForByte) {
    const QByteArray kvr = CharRecToBytes(SampleRecord(3).Name(QStringLiteral("ĄĆĘŁŃÓ")));
    CharRecData loaded;
    ASSERT_TRUE(LoadCharRecBytes(kvr, &loaded));
    const QByteArray json = RecordToJson(loaded);
    CharRecData back;
    QString error;
    ASSERT_EQ(ParseRecordJson(json, &back, nullptr, &error), JsonFileKind::Record)
        << error.toStdString();
    EXPECT_EQ(CharRecToBytes(back), kvr);  // .kvr -> JSON -> .kvr
    EXPECT_EQ(RecordToJson(back), json);   // JSON -> .kvr -> JSON
    // Texts are decoded from code page 1250.
    EXPECT_TRUE(json.contains(QStringLiteral("\"NAME\": \"ĄĆĘŁŃÓ    \"").toUtf8()))
        << json.constData();
}

TEST(RecordJson, NumbersReadBackExactly) {
    std::mt19937_64 rng(42);
    std::uniform_int_distribution<uint64_t> bits;
    CharRecData d = SampleRecord(0);
    d.RH[5] = 1e22;
    d.RH[6] = std::numeric_limits<double>::denorm_min();
    d.RH[7] = std::numeric_limits<double>::max();
    d.VALUE[5] = 0.1;
    for (int i = 8; i < CharRecData::kPoints; ++i) {
        double v = 0;
        do {
            const uint64_t b = bits(rng);
            std::memcpy(&v, &b, sizeof v);
        } while (!std::isfinite(v));
        d.RH[i] = v;
        d.VALUE[i] = v / 3;
    }
    CharRecData back;
    ASSERT_EQ(ParseRecordJson(RecordToJson(d), &back, nullptr, nullptr), JsonFileKind::Record);
    EXPECT_EQ(std::memcmp(back.RH, d.RH, sizeof d.RH), 0);  // bit for bit, -0.0 included
    EXPECT_EQ(std::memcmp(back.VALUE, d.VALUE, sizeof d.VALUE), 0);
    EXPECT_EQ(ExactNumber(0.1), "0.10000000000000001");
    EXPECT_EQ(ExactNumber(-2.5), "-2.5");
    EXPECT_EQ(ExactNumber(-0.0), "0");  // what a JSON reader gives back for -0
}

TEST(RecordJson, SetRoundTripsIncludingEmptyAndNotValidSlots) {
    CTableCharRec set;
    set.Put(SampleRecord(0), 0);
    set.Put(MakeEmptySlot(1), 1);
    CharRecData gone = MakeEmptySlot(2);
    gone.valid = 0;
    set.Put(gone, 2);
    const QByteArray json = RecordSetToJson(set);
    CTableCharRec back;
    QString error;
    ASSERT_EQ(ParseRecordJson(json, nullptr, &back, &error), JsonFileKind::RecordSet)
        << error.toStdString();
    ASSERT_EQ(back.Count(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(back.Get(i) == set.Get(i)) << i;
    EXPECT_EQ(RecordSetToJson(back), json);
    CTableCharRec empty;
    ASSERT_EQ(ParseRecordJson(RecordSetToJson(empty), nullptr, &back, nullptr),
              JsonFileKind::RecordSet);
    EXPECT_EQ(back.Count(), 0);
}

TEST(RecordJson, RefusesWhatCannotBeStoredFaithfully) {
    const QByteArray good = RecordToJson(SampleRecord(0));
    auto refused = [](const QByteArray& json) {
        QString error;
        const bool invalid =
            ParseRecordJson(json, nullptr, nullptr, &error) == JsonFileKind::Invalid;
        return invalid && !error.isEmpty() && !error.contains(QChar('\n'));
    };
    auto replaced = [&good](const char* from, const QString& to) {
        QByteArray j = good;
        const qsizetype at = j.indexOf(from);
        EXPECT_GE(at, 0) << from;
        const qsizetype end = j.indexOf('\n', at);
        return j.replace(at, end - at, to.toUtf8());
    };
    EXPECT_TRUE(refused("{"));
    EXPECT_TRUE(refused("[1, 2]"));
    EXPECT_TRUE(refused(
        replaced("\"NAME\"", QStringLiteral("\"NAME\": \"0123456789A\","))));  // 11 > 10 characters
    EXPECT_TRUE(refused(
        replaced("\"CODE\"", QStringLiteral("\"CODE\": \"日本\","))));  // not in code page 1250
    EXPECT_TRUE(refused(
        replaced("\"CODE\"", QStringLiteral("\"CODE\": \"A\\u0000B\","))));  // NUL inside a text
    EXPECT_TRUE(refused(replaced("\"ENABLE\"", QStringLiteral("\"ENABLE\": 2,"))));
    EXPECT_TRUE(refused(replaced("\"ACTIVE\"", QStringLiteral("\"ACTIVE\": 5.5,"))));
    EXPECT_TRUE(refused(replaced("\"COMPENS\"", QStringLiteral("\"COMPENS\": [1, 2, 3],"))));
    EXPECT_TRUE(refused(replaced(
        "\"RH\"",
        QStringLiteral("\"RH\": [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, \"x\"],"))));
    EXPECT_TRUE(refused(replaced("\"SAVE_TIME\"", QStringLiteral("\"SAVE_TIME\": 2147483648,"))));
    EXPECT_TRUE(refused(replaced("\"VERSION\"", QStringLiteral("\"VERSION\": 2,"))));
    EXPECT_TRUE(refused(
        replaced("\"DESC\"", QStringLiteral("\"DESCRIPTION\": \"x\","))));  // a typo is not ignored
    // Polish letters and the full length are fine.
    EXPECT_FALSE(refused(replaced("\"NAME\"", QStringLiteral("\"NAME\": \"Źdźbło żyt\","))));
}

TEST(RecordCheck, ValidationMessagesAsTheEditorShowsThem) {
    CharRecData d = SampleRecord(0);
    EXPECT_EQ(CheckRecordForWrite(d), QString());
    d.ACTIVE = 1;
    EXPECT_EQ(
        CheckRecordForWrite(d),
        QStringLiteral("Liczba punktów pomiarowych powinna zawierać się\nw przedziale <2, 15>"));
    d = SampleRecord(0);
    d.RH[2] = d.RH[1];
    EXPECT_EQ(CheckRecordForWrite(d),
              QStringLiteral("Argumenty funkcji charakterystyki powinny być ułożone w kolejności"));
    d = SampleRecord(0);
    d.VALUE[3] = d.VALUE[2] + 1.0;  // values were falling
    EXPECT_EQ(CheckRecordForWrite(d),
              QStringLiteral("Wartości funkcji charakterystyki powinny być rosnące lub malejące"));
    d = SampleRecord(0);
    d.METHOD = 2;
    EXPECT_EQ(CheckRecordForWrite(d), QStringLiteral("Proszę wybrać metodę pomiaru"));
    d = SampleRecord(0);
    d.RH[3] = std::nan("");
    EXPECT_FALSE(CheckRecordForWrite(d).isEmpty());
    // Points a hair apart are still in order: numbers reach the check exactly.
    d = SampleRecord(0);
    d.RH[1] = std::nextafter(d.RH[0], 1e9);
    EXPECT_EQ(CheckRecordForWrite(d), QString());
    // The password flag is a record field like any other, not a reason to refuse.
    d.PASSWORD = 1;
    EXPECT_EQ(CheckRecordForWrite(d), QString());
}

TEST(RecordCheck, BlankRecordIsTheEmptySlotOnly) {
    EXPECT_TRUE(IsBlankRecord(MakeEmptySlot(4)));
    CharRecData d = MakeEmptySlot(4);
    d.ENABLE = 1;
    EXPECT_FALSE(IsBlankRecord(d));
    d = MakeEmptySlot(4);
    d.VALUE[14] = 1.0;
    EXPECT_FALSE(IsBlankRecord(d));
}

TEST(RecordText, CsvHasOneRowPerRecordWithQuotedTexts) {
    CTableCharRec set;
    set.Put(SampleRecord(0).Code(QStringLiteral("A\"B")).Points({1.5, 3, 4.5}, {3, 2, 1}), 0);
    set.Put(MakeEmptySlot(1), 1);
    const QString csv = QString::fromUtf8(RecordSetToCsv(set));
    const QStringList rows = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("REC_NUMBER,ENABLE")));
    EXPECT_TRUE(rows[1].contains(QStringLiteral(",\"A\"\"B\",")));
    EXPECT_TRUE(rows[1].contains(QStringLiteral(",1.5,3,4.5,0,0,")));  // RH with a full stop
}

}  // namespace
