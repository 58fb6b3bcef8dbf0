#include <gtest/gtest.h>

#include "records/cp1250.h"

namespace {

TEST(Cp1250, PolishLettersMapToTheirCodePageBytesAndBack) {
    const QString polish = QString::fromUtf8("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ");
    const QByteArray bytes(
        "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\x20\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
    EXPECT_EQ(UnicodeToCp1250(polish), bytes);
    EXPECT_EQ(Cp1250ToUnicode(bytes), polish);
}

TEST(Cp1250, EveryByteRoundTrips) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
    EXPECT_EQ(UnicodeToCp1250(Cp1250ToUnicode(all)), all);
}

TEST(Cp1250, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    // Cyrillic, CJK, a character outside the basic plane, a lone surrogate.
    QString text = QString::fromUtf8("aЖ漢") + QString::fromUcs4(U"\U0001F600") + QChar(0xD800) +
                   QStringLiteral("b");
    EXPECT_EQ(UnicodeToCp1250(text), QByteArray("a????b"));
    EXPECT_EQ(UnicodeToCp1250(QString::fromUtf8("€–")), QByteArray("\x80\x96"));
}

TEST(Cp1250, FixedFieldCountsBytesPadsAndTerminates) {
    char field[5];
    std::memset(field, 'Z', sizeof field);
    SetFixedField(field, 4, QString::fromUtf8("łó"));
    EXPECT_EQ(QByteArray(field, 5), QByteArray("\xB3\xF3  \0", 5));
    SetFixedField(field, 4, QString::fromUtf8("ŻÓŁWIE"));
    EXPECT_EQ(QByteArray(field, 5), QByteArray("\xAF\xD3\xA3W\0", 5));
    EXPECT_EQ(FixedFieldToUnicode(field, 5), QString::fromUtf8("ŻÓŁW"));
    // Without a terminator inside, reading stops at the field's end.
    const char raw[3] = {'a', 'b', 'c'};
    EXPECT_EQ(FixedFieldToUnicode(raw, 3), QStringLiteral("abc"));
}

}  // namespace

TEST(Cp1250, FieldTextWithoutItsPadding) {
    const char name[11] = "Pszenica  ";
    EXPECT_EQ(FixedFieldTextUnpadded(name, sizeof name), QStringLiteral("Pszenica"));
    const char inner[11] = " a b      ";
    EXPECT_EQ(FixedFieldTextUnpadded(inner, sizeof inner), QStringLiteral(" a b"));
    const char blank[4] = "   ";
    EXPECT_TRUE(FixedFieldTextUnpadded(blank, sizeof blank).isEmpty());
    const char cut[4] = {'\xAF', 'y', ' ', 0};  // stops at the terminator, decodes 1250
    EXPECT_EQ(FixedFieldTextUnpadded(cut, sizeof cut), QString::fromUtf8("Ży"));
}
