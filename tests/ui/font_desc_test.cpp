#include <gtest/gtest.h>

#include <QFont>

#include "ui/font_desc.h"

namespace {

TEST(FontDesc, NegativeHeightIsPixelSize) {
    FontDesc d;
    d.height = -64;
    d.faceName = QStringLiteral("Arial");
    const QFont f = d.toQFont();
    EXPECT_EQ(f.pixelSize(), 64);
    EXPECT_EQ(f.family(), QStringLiteral("Arial"));
    EXPECT_EQ(f.weight(), QFont::Normal);  // weight 0 = default weight
    EXPECT_FALSE(f.italic());
}

TEST(FontDesc, PositiveHeightTakenAsPixelSize) {
    FontDesc d;
    d.height = 25;
    EXPECT_EQ(d.toQFont().pixelSize(), 25);
}

TEST(FontDesc, WeightsAndItalic) {
    FontDesc d;
    d.height = -20;
    d.italic = true;
    d.weight = 700;
    QFont f = d.toQFont();
    EXPECT_EQ(f.weight(), QFont::Bold);
    EXPECT_TRUE(f.italic());
    d.weight = 100;
    EXPECT_EQ(d.toQFont().weight(), QFont::Thin);
    d.weight = 900;
    EXPECT_EQ(d.toQFont().weight(), QFont::Black);
    d.weight = 5000;  // out of range: clamped, not undefined
    EXPECT_EQ(d.toQFont().weight(), 1000);
}

TEST(FontDesc, RoundTripFromAPickedFont) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(48);
    f.setWeight(QFont::DemiBold);
    f.setItalic(true);
    const FontDesc d = FontDesc::fromQFont(f, 0);
    EXPECT_EQ(d.height, -48);
    EXPECT_EQ(d.weight, 600);
    EXPECT_TRUE(d.italic);
    EXPECT_EQ(d.faceName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(d.charSet, 0);
    EXPECT_EQ(d.toQFont().pixelSize(), 48);
}

TEST(FontDesc, PointSizedFontGetsAPixelHeight) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(24);
    const FontDesc d = FontDesc::fromQFont(f);
    EXPECT_LT(d.height, 0);
    EXPECT_EQ(d.charSet, FontDesc::kCentralEuropeanCharSet);
}

TEST(FontDesc, FaceNameNeverExceedsTheRecord) {
    FontDesc d;
    d.setFaceName(QString(40, QLatin1Char('x')));
    EXPECT_EQ(d.faceName.size(), FontDesc::kMaxFaceNameLength);
    QFont f;
    f.setFamily(QString(50, QLatin1Char('y')));
    EXPECT_LE(FontDesc::fromQFont(f).faceName.size(), FontDesc::kMaxFaceNameLength);
}

}  // namespace
