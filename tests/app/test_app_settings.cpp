#include <gtest/gtest.h>

#include "app/app_settings.h"
#include "app/ini_ex.h"

namespace {

TEST(AppSettings, EveryKeyRoundTripsThroughTheFile) {
    AppSettings s;
    s.backgroundInput = 0x00FFFFFF;
    s.textInput = 0;
    s.fontHeightInput = -12;
    s.fontNameInput = QString::fromUtf8("DejaVu Sans Łódź");
    s.fontItalicInput = 1;
    s.fontWeightInput = 700;
    s.portNr = 33;
    s.windowTop = -5;
    s.windowBottom = 900;
    s.windowLeft = 1;
    s.windowRight = 2;
    s.topmost = 1;
    s.fileName = QStringLiteral("/home/u/log.csv");
    s.fileLog = 1;
    s.fileSepFormat = 3;
    s.fileDecSeparator = 2;
    s.fileInterval = 86399;
    s.fileCheckComment = 1;
    CIniEx out;
    StoreAppSettings(out, s);
    CIniEx in;
    in.Parse(out.ToBytes());
    const AppSettings r = LoadAppSettings(in);
    EXPECT_EQ(r.backgroundInput, s.backgroundInput);
    EXPECT_EQ(r.textInput, s.textInput);
    EXPECT_EQ(r.fontHeightInput, s.fontHeightInput);
    EXPECT_EQ(r.fontNameInput, s.fontNameInput);
    EXPECT_EQ(r.fontItalicInput, s.fontItalicInput);
    EXPECT_EQ(r.fontWeightInput, s.fontWeightInput);
    EXPECT_EQ(r.portNr, s.portNr);
    EXPECT_EQ(r.windowTop, s.windowTop);
    EXPECT_EQ(r.windowBottom, s.windowBottom);
    EXPECT_EQ(r.windowLeft, s.windowLeft);
    EXPECT_EQ(r.windowRight, s.windowRight);
    EXPECT_EQ(r.topmost, s.topmost);
    EXPECT_EQ(r.fileName, s.fileName);
    EXPECT_EQ(r.fileLog, s.fileLog);
    EXPECT_EQ(r.fileSepFormat, s.fileSepFormat);
    EXPECT_EQ(r.fileDecSeparator, s.fileDecSeparator);
    EXPECT_EQ(r.fileInterval, s.fileInterval);
    EXPECT_EQ(r.fileCheckComment, s.fileCheckComment);
}

TEST(AppSettings, StoredValuesAsTheyStandInTheFile) {
    CIniEx ini;
    ini.Parse(
        "[INPUT_VALUE]\nFONT_NAME_INPUT=\nFONT_ITALIC_INPUT=257\n"
        "[GENERAL]\nPORT_NR=COM3\n");
    const AppSettings s = LoadAppSettings(ini);
    EXPECT_EQ(s.fontNameInput, QString());  // present but empty: not "Arial"
    EXPECT_EQ(s.fontItalicInput, 1);        // kept in one byte
    EXPECT_EQ(s.portNr, 0);                 // letters read as 0
    EXPECT_EQ(s.fileInterval, 60);          // absent: default
}

TEST(AppSettings, LongFaceNameIsCutTo31Characters) {
    CIniEx ini;
    const QString longName = QString(40, QLatin1Char('F'));
    ini.SetValue("INPUT_VALUE", "FONT_NAME_INPUT", longName);
    EXPECT_EQ(LoadAppSettings(ini).fontNameInput, QString(31, QLatin1Char('F')));
    // A character outside the basic plane straddling the limit is dropped whole.
    const QString emoji = QString(30, QLatin1Char('x')) + QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(CutFaceName(emoji), QString(30, QLatin1Char('x')));
    AppSettings s;
    s.fontNameInput = longName;
    StoreAppSettings(ini, s);
    EXPECT_EQ(ini.GetValue("INPUT_VALUE", "FONT_NAME_INPUT").size(), 31);
}

}  // namespace
