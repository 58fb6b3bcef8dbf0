#include <gtest/gtest.h>

#include "app/app_settings.h"
#include "app/ini_ex.h"

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

}  // namespace
