#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "grab_util.h"
#include "ui/value_text.h"

namespace {

QString Text(int source, int shown, bool units, bool precision, double v) {
    return FormatValueText(source, shown, units, precision, v).text;
}

TEST(ValueText, TemperatureHonoursPrecision) {
    EXPECT_EQ(Text(3, 3, true, true, 21.456), QStringLiteral("21.46 \u00B0C"));
    EXPECT_EQ(Text(3, 3, true, false, 21.456), QStringLiteral("21.5 \u00B0C"));
    EXPECT_EQ(Text(3, 3, false, true, -3.004), QStringLiteral("-3.00"));
    EXPECT_EQ(Text(3, 3, false, false, -3.04), QStringLiteral("-3.0"));
}

TEST(ValueText, PercentWithAndWithoutUnits) {
    EXPECT_EQ(Text(7, 7, true, false, 45.27), QStringLiteral("45.3 %"));
    // With units the precision flag is not honoured.
    EXPECT_EQ(Text(7, 7, true, true, 45.27), QStringLiteral("45.3 %"));
    EXPECT_EQ(Text(7, 7, false, false, 45.27), QStringLiteral("45.3"));
    EXPECT_EQ(Text(7, 7, false, true, 45.27), QStringLiteral("45.27"));
}

TEST(ValueText, WholeNumberKinds) {
    EXPECT_EQ(Text(8, 8, true, true, 412.6), QStringLiteral("413 ppm"));
    EXPECT_EQ(Text(8, 8, false, false, 412.4), QStringLiteral("412"));
    EXPECT_EQ(Text(4, 4, true, false, 270.0), QStringLiteral("270 \u00B0"));
    EXPECT_EQ(Text(4, 4, false, true, 270.0), QStringLiteral("270"));
}

TEST(ValueText, OtherUnits) {
    EXPECT_EQ(Text(5, 5, true, true, 1013.25), QStringLiteral("1013.2 hPa"));
    EXPECT_EQ(Text(5, 5, false, true, 1013.25), QStringLiteral("1013.25"));
    EXPECT_EQ(Text(6, 6, true, false, 3.14), QStringLiteral("3.1 m/s"));
    EXPECT_EQ(Text(2, 2, false, false, 1.5), QStringLiteral("1.50"));
    // Huge and non-finite numbers still give a text, never a crash.
    EXPECT_EQ(Text(8, 8, false, false, 1e300).size(), 301);
    EXPECT_FALSE(Text(3, 3, true, false, std::nan("")).isEmpty());
}

TEST(ValueText, KindConversion) {
    EXPECT_EQ(Text(1, 2, true, false, 147.0), QStringLiteral("100.00 kLx"));
    EXPECT_DOUBLE_EQ(ConvertKind(2, 1, 100.0), 147.0);
    EXPECT_EQ(Text(2, 1, false, false, 100.0), QStringLiteral("147.0"));
    // Any other pair keeps the number: a temperature shown as per cent.
    EXPECT_EQ(Text(3, 7, true, false, 21.44), QStringLiteral("21.4 %"));
    EXPECT_DOUBLE_EQ(ConvertKind(1, 1, 5.0), 5.0);
}

TEST(ValueText, IrradianceDrawsARaisedTwo) {
    const ValueText t = FormatValueText(1, 1, true, true, 12.34);
    EXPECT_TRUE(t.visible);
    EXPECT_TRUE(t.raisedTwo);
    EXPECT_EQ(t.text, QStringLiteral("12.3 W/m2"));
    EXPECT_EQ(t.mainPart, QStringLiteral("12.3 W/m"));
    const ValueText plain = FormatValueText(1, 1, false, true, 12.345);
    EXPECT_FALSE(plain.raisedTwo);
    EXPECT_EQ(plain.text, QStringLiteral("12.35"));
}

TEST(ValueText, UnknownKindDrawsNothing) {
    for (int kind : {0, 9, -1, 100}) {
        const ValueText t = FormatValueText(3, kind, true, false, 1.0);
        EXPECT_FALSE(t.visible) << kind;
        EXPECT_TRUE(t.text.isEmpty()) << kind;
    }
}

TEST(ValueText, FullStopWhateverTheLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // A comma locale when the system has one; the result must not change.
    if (!std::setlocale(LC_NUMERIC, "pl_PL.UTF-8")) std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(Text(3, 3, true, true, 21.456), QStringLiteral("21.46 \u00B0C"));
    std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
