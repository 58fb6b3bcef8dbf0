#include <gtest/gtest.h>

#include <climits>

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

TEST(WindowOnScreens, KeptWhenPartOfItIsOnSomeScreen) {
    const WindowRect fallback{80, 50, 720, 550};
    const QList<QRect> two = {QRect(0, 0, 1920, 1080), QRect(1920, 200, 1280, 1024)};
    // On the second screen only, and overlapping the first by one pixel.
    EXPECT_EQ(WindowRectOnScreens({2000, 300, 2600, 700}, two, fallback),
              WindowRect({2000, 300, 2600, 700}));
    EXPECT_EQ(WindowRectOnScreens({-639, 10, 1, 400}, two, fallback),
              WindowRect({-639, 10, 1, 400}));
    // Touching an edge is not on the screen; the gap above the second screen
    // is not a screen; neither is a monitor that has gone.
    EXPECT_EQ(WindowRectOnScreens({-640, 10, 0, 400}, two, fallback), fallback);
    EXPECT_EQ(WindowRectOnScreens({2000, 0, 2600, 200}, two, fallback), fallback);
    EXPECT_EQ(WindowRectOnScreens({2000, 300, 2600, 700}, {two.front()}, fallback), fallback);
    // Without a size, or at the ends of the int range, it is never placed.
    EXPECT_EQ(WindowRectOnScreens({100, 100, 50, 400}, two, fallback), fallback);
    EXPECT_EQ(WindowRectOnScreens({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, two, fallback), fallback);
    EXPECT_EQ(WindowRectOnScreens({INT_MAX - 10, 0, INT_MAX, 100},
                                  {QRect(INT_MAX - 100, 0, 100, 100)}, fallback),
              WindowRect({INT_MAX - 10, 0, INT_MAX, 100}));
}
