#include <gtest/gtest.h>

#include "app/main_layout.h"

TEST(MainLayout, ControlsWithoutServiceLine) {
    const MainLayout l = ComputeMainLayout(640, 400, 20, false, 6);
    EXPECT_EQ(l.icon, RectLTRB(6, 6, 30, 30));
    // Right of the icon by half a border, centred on the icon (centre 18).
    EXPECT_EQ(l.statusText, RectLTRB(33, 8, 634, 28));
    EXPECT_EQ(l.valueDisplay, RectLTRB(6, 36, 634, 394));
}

TEST(MainLayout, ServiceLineMovesTheValueDisplayDown) {
    // Odd status height: integer halves around the icon centre.
    const MainLayout l = ComputeMainLayout(500, 300, 21, true, 10);
    EXPECT_EQ(l.icon, RectLTRB(10, 10, 34, 34));
    EXPECT_EQ(l.statusText, RectLTRB(39, 12, 490, 32));
    // Label: 90 wide, floor(2.2 * 21) = 46 high, a border under the icon.
    EXPECT_EQ(l.serviceLabel, RectLTRB(10, 44, 100, 90));
    EXPECT_EQ(l.serviceText, RectLTRB(110, 44, 490, 90));
    EXPECT_EQ(l.valueDisplay, RectLTRB(10, 100, 490, 290));
}

TEST(MainLayout, ServiceLabelWidensForALargerFontOnly) {
    const MainLayout wide = ComputeMainLayout(500, 300, 20, true, 6, 120);
    EXPECT_EQ(wide.serviceLabel, RectLTRB(6, 36, 126, 80));
    EXPECT_EQ(wide.serviceText.left(), 132);
    EXPECT_EQ(ComputeMainLayout(500, 300, 20, true, 6, 50).serviceLabel.width(), 90);
}

TEST(MainLayout, BorderIsClampedToSixToTwenty) {
    EXPECT_EQ(ClampBorder(0), 6);
    EXPECT_EQ(ClampBorder(3), 6);
    EXPECT_EQ(ClampBorder(12), 12);
    EXPECT_EQ(ClampBorder(25), 20);
}

TEST(WindowClamp, RightEdgeBeyondTheScreenShiftsTheWholeRectangle) {
    const WindowRect r = ClampWindowRect({2000, 50, 3000, 550}, 1280, 1024);
    EXPECT_EQ(r, (WindowRect{280, 50, 1280, 550}));  // left moved by 1720 too
    // Within the 10-pixel slack nothing moves.
    EXPECT_EQ(ClampWindowRect({680, 50, 1290, 550}, 1280, 1024), (WindowRect{680, 50, 1290, 550}));
}

TEST(WindowClamp, BottomBeyondTheScreenShiftsUp) {
    EXPECT_EQ(ClampWindowRect({80, 900, 720, 1400}, 1280, 1024), (WindowRect{80, 524, 720, 1024}));
}

TEST(WindowClamp, NegativeTopAndLeftOnlyBeyondTenPixels) {
    EXPECT_EQ(ClampWindowRect({-5, -10, 600, 400}, 1280, 1024), (WindowRect{-5, -10, 600, 400}));
    // Only the offending edge moves; the size changes.
    EXPECT_EQ(ClampWindowRect({-11, -50, 600, 400}, 1280, 1024), (WindowRect{0, 0, 600, 400}));
}
