#include <gtest/gtest.h>

#include "app/app_settings.h"
#include "app/ini_ex.h"
#include "app/main_layout.h"

namespace {

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

TEST(AppSettings, NumbersAreKeptToWhatTheyMean) {
    CIniEx ini;
    // What an earlier version or a hand edit left: an inverted rectangle and a
    // font height that Qt would get as a negative pixel size.
    ini.Parse(
        "[INPUT_VALUE]\nFONT_HEIGHT_INPUT=-2147483648\n"
        "[GENERAL]\nWINDOW_TOP=10\nWINDOW_BOTTOM=-2147483624\nWINDOW_LEFT=5\nWINDOW_RIGHT=900\n");
    AppSettings s = LoadAppSettings(ini);
    EXPECT_EQ(s.fontHeightInput, -AppSettings::kFontHeightMax);
    const AppSettings d;
    EXPECT_EQ(WindowRect({s.windowLeft, s.windowTop, s.windowRight, s.windowBottom}),
              WindowRect({d.windowLeft, d.windowTop, d.windowRight, d.windowBottom}));

    // A width that overflows an int, a zero height, a height beyond any screen.
    for (const char* general :
         {"WINDOW_LEFT=-2147483648\nWINDOW_RIGHT=2147483647\n", "WINDOW_TOP=7\nWINDOW_BOTTOM=7\n",
          "WINDOW_TOP=0\nWINDOW_BOTTOM=70000\n"}) {
        ini.Parse(QByteArray("[INPUT_VALUE]\nFONT_HEIGHT_INPUT=99999\n[GENERAL]\n") + general);
        s = LoadAppSettings(ini);
        EXPECT_EQ(s.fontHeightInput, AppSettings::kFontHeightMax);
        EXPECT_EQ(s.windowLeft, 80) << general;
        EXPECT_EQ(s.windowTop, 50) << general;
        EXPECT_EQ(s.windowRight, 720) << general;
        EXPECT_EQ(s.windowBottom, 550) << general;
    }
    // Sensible values stay exactly as stored, off-screen ones included (the
    // screens are the window's business).
    ini.Parse(
        "[INPUT_VALUE]\nFONT_HEIGHT_INPUT=-12\n"
        "[GENERAL]\nWINDOW_TOP=-300\nWINDOW_BOTTOM=-100\nWINDOW_LEFT=5000\nWINDOW_RIGHT=5400\n");
    s = LoadAppSettings(ini);
    EXPECT_EQ(s.fontHeightInput, -12);
    EXPECT_EQ(WindowRect({s.windowLeft, s.windowTop, s.windowRight, s.windowBottom}),
              WindowRect({5000, -300, 5400, -100}));
}

}  // namespace
