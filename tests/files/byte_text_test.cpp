// Text that keeps the bytes it came from.

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "files/byte_text.h"

namespace {

TEST(ByteText, ValidUtf8DecodesAsUsual) {
    const QByteArray polish = "Zażółć gęślą jaźń € \xF0\x9F\x98\x80 ascii";
    EXPECT_EQ(DecodeKeepingBytes(polish), QString::fromUtf8(polish));
    EXPECT_EQ(EncodeKeepingBytes(QString::fromUtf8(polish)), polish);
    EXPECT_EQ(DecodeKeepingBytes(QByteArray("a\0b", 3)).size(), 3);
}

TEST(ByteText, OtherBytesComeBackAsTheyWere) {
    // Code page 1250 ("Łódź", "żółw"), overlong forms, a surrogate encoded in
    // UTF-8, a sequence cut short, a code point beyond U+10FFFF, stray bytes.
    const QByteArray cases[] = {
        "C:\\Pomiary\\\xA3\xF3\x64\x9F.csv",
        "\xBF\xF3\xB3w",
        "\xC0\xAF \xE0\x80\xAF",
        "\xED\xB2\x80",
        "abc\xE2\x82",
        "\xF4\x90\x80\x80",
        "\x80\xFF\xFE",
        "\xF0\x9F\x98\x80\x80",  // a valid pair, then a stray byte
    };
    for (const QByteArray& bytes : cases) {
        const QString text = DecodeKeepingBytes(bytes);
        EXPECT_EQ(EncodeKeepingBytes(text), bytes) << bytes.toHex().toStdString();
        EXPECT_EQ(NativePath(text), bytes);
    }
    // Each kept byte is one character, so ASCII around it stays readable.
    EXPECT_EQ(DecodeKeepingBytes(QByteArray("\xBF\xF3\xB3w")).size(), 4);
    EXPECT_TRUE(DecodeKeepingBytes(QByteArray("\xBF\xF3\xB3w")).endsWith(QChar('w')));
}

TEST(ByteText, EveryByteStringSurvivesDecodingAndEncoding) {
    // All two-byte strings, then random longer ones weighted towards the bytes
    // that start and continue UTF-8 sequences.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const char pair[2] = {static_cast<char>(a), static_cast<char>(b)};
            const QByteArray bytes(pair, 2);
            ASSERT_EQ(EncodeKeepingBytes(DecodeKeepingBytes(bytes)), bytes)
                << bytes.toHex().toStdString();
        }
    }
    QRandomGenerator random(15);
    const char pool[] = {'a', '=', '\x80', '\xBF', '\xC2', '\xE2', '\xED', '\xF0', '\xF4', '\xFF'};
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        const int n = static_cast<int>(random.bounded(12));
        for (int i = 0; i < n; ++i)
            bytes += random.bounded(2) ? pool[random.bounded(int(sizeof pool))]
                                       : static_cast<char>(random.bounded(256));
        ASSERT_EQ(EncodeKeepingBytes(DecodeKeepingBytes(bytes)), bytes)
            << bytes.toHex().toStdString();
    }
}

TEST(ByteText, LoneSurrogatesOutsideTheKeptRangeBecomeTheReplacementCharacter) {
    const QString text = QString(QChar(0xD800)) + QChar('x') + QChar(0xDC20);
    EXPECT_EQ(EncodeKeepingBytes(text), QByteArray("\xEF\xBF\xBDx\xEF\xBF\xBD"));
}

}  // namespace
