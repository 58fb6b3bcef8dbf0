#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "characteristics/graph_math.h"

using namespace graphmath;

namespace {

YRange RangeOf(std::initializer_list<float> ys) {
    YRange r;
    for (float y : ys) UpdateYRange(r, y);
    return r;
}

}  // namespace

TEST(GraphYRange, GrowsStepByStepAroundWholeNumbers) {
    YRange r;
    UpdateYRange(r, 1.0f);
    EXPECT_EQ(r, (YRange{-1, 2}));
    UpdateYRange(r, 2.0f);
    EXPECT_EQ(r, (YRange{-1, 3}));
    UpdateYRange(r, 3.0f);
    EXPECT_EQ(r, (YRange{-1, 4}));

    EXPECT_EQ(RangeOf({0.3f}), (YRange{-1, 1}));
    // Truncation goes toward zero, also for negative values.
    EXPECT_EQ(RangeOf({-2.7f}), (YRange{-4, -1}));
    EXPECT_EQ(RangeOf({5.0f, -2.7f}), (YRange{-3, 6}));
    // A value inside the margin does not move the bounds; one within half a
    // unit of a bound does.
    EXPECT_EQ(RangeOf({5.0f, 3.6f, 5.4f}), (YRange{3, 6}));
    EXPECT_EQ(RangeOf({5.0f, 3.4f}), (YRange{2, 6}));
}

TEST(GraphYRange, AbsurdValuesStayInsideIntRange) {
    const YRange r = RangeOf({1e30f, -std::numeric_limits<float>::infinity()});
    EXPECT_GT(r.upper, r.lower);
    EXPECT_LE(r.upper, 1000000001);
    EXPECT_GE(r.lower, -1000000001);
}

TEST(GraphXRange, SpansSmallestToLargestWhateverTheOrder) {
    XRange r;
    const float xs[] = {30.0f, 20.0f, 10.0f};  // falling humidities
    bool first = true;
    for (float x : xs) {
        UpdateXRange(r, x, first);
        first = false;
    }
    EXPECT_FLOAT_EQ(r.left, 10.0f);
    EXPECT_FLOAT_EQ(r.right, 30.0f);
    const ClientRect c{0, 0, 466, 300};
    EXPECT_DOUBLE_EQ(XScale(c, r), 20.0);  // (466 - 36 - 30) / 20
    // Every point falls inside the plot.
    for (float x : xs) {
        const int col = XToColumn(c, r, XScale(c, r), x);
        EXPECT_GE(col, kLeftMargin);
        EXPECT_LE(col, c.right - kRightMargin);
    }
}

TEST(GraphScale, PixelScalesAndZeroWidthRanges) {
    const ClientRect c{0, 0, 400, 250};
    EXPECT_DOUBLE_EQ(YScale(c, YRange{-1, 4}), 40.0);  // (250 - 50) / 5
    EXPECT_DOUBLE_EQ(YScale(c, YRange{}), 200.0);
    XRange single;
    UpdateXRange(single, 5.0f, true);
    EXPECT_DOUBLE_EQ(XScale(c, single), 334.0);  // 400 - 36 - 30, as if the range were 1
    EXPECT_TRUE(TooSmall(ClientRect{0, 0, 300, 55}));
    EXPECT_FALSE(TooSmall(ClientRect{0, 0, 300, 56}));
}

TEST(GraphScale, StepTable) {
    EXPECT_EQ(YStep(2.5), 10);
    EXPECT_DOUBLE_EQ(XStep(2.5), 10.0);
    EXPECT_EQ(YStep(10), 2);  // c = 250, integer division
    EXPECT_DOUBLE_EQ(XStep(10), 2.5);
    EXPECT_EQ(YStep(12.5), 2);
    EXPECT_DOUBLE_EQ(XStep(12.5), 2.0);
    // y stops at threshold 25; x goes on to the end of the table.
    EXPECT_EQ(YStep(5000), 1);
    EXPECT_DOUBLE_EQ(XStep(5000), 0.01);
    // Below the first threshold the initial code stays.
    EXPECT_EQ(StepCode(0.0005, true), 5000000);
    EXPECT_EQ(StepCode(2.49, false), 2000);
}

TEST(GraphScale, FirstScaleValueIsSmallestGridValueNotBelowLowerEnd) {
    EXPECT_DOUBLE_EQ(FirstScaleValue(2, -1), 0);
    EXPECT_DOUBLE_EQ(FirstScaleValue(10, -1), 0);
    EXPECT_DOUBLE_EQ(FirstScaleValue(2.5, 11.2), 12.5);
    EXPECT_NEAR(FirstScaleValue(0.01, 3.456), 3.46, 1e-9);
    // Grid starts at k = 1: nothing below -10000 + step.
    EXPECT_DOUBLE_EQ(FirstScaleValue(10, -20000), -9990);
    // Far from zero it is computed at once.
    EXPECT_DOUBLE_EQ(FirstScaleValue(1, 1e8 + 0.5), 1e8 + 1);
}

TEST(GraphMapping, PointToPixel) {
    const ClientRect c{0, 0, 466, 250};
    const XRange xr{10.0f, 30.0f};
    const YRange yr{-1, 4};
    const double xs = XScale(c, xr), ys = YScale(c, yr);
    EXPECT_EQ(XToColumn(c, xr, xs, 10.0), 35);
    EXPECT_EQ(XToColumn(c, xr, xs, 30.0), 35 + 400);
    EXPECT_EQ(XToColumn(c, xr, xs, 10.09), 35 + 1);  // truncated
    EXPECT_EQ(YToRow(c, yr, ys, -1.0), 230);
    EXPECT_EQ(YToRow(c, yr, ys, 4.0), 30);
    EXPECT_EQ(YToRow(c, yr, ys, 1.01), 230 - 80);
    // Non-finite values never reach int conversion undefined.
    EXPECT_EQ(XToColumn(c, xr, xs, std::nan("")), 35);
}

TEST(GraphClip, AgainstAxisAndTopRows) {
    const int axis = 200, top = 30;
    // Inside: unchanged.
    auto s = ClipSegment({{10, 50}, {20, 150}}, axis, top);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->a, (Pixel{10, 50}));
    EXPECT_EQ(s->b, (Pixel{20, 150}));
    // Both below the axis or both above the top: nothing.
    EXPECT_FALSE(ClipSegment({{10, 201}, {20, 300}}, axis, top));
    EXPECT_FALSE(ClipSegment({{10, 0}, {20, 29}}, axis, top));
    // One end below: moved along the line onto the axis.
    s = ClipSegment({{0, 100}, {100, 300}}, axis, top);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->a, (Pixel{0, 100}));
    EXPECT_EQ(s->b, (Pixel{50, 200}));
    // The first end below, vertical segment: straight onto the axis.
    s = ClipSegment({{40, 260}, {40, 120}}, axis, top);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->a, (Pixel{40, 200}));
    // Crossing both rows: clipped at both ends.
    s = ClipSegment({{0, 0}, {100, 250}}, axis, top);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->a, (Pixel{12, 30}));
    EXPECT_EQ(s->b, (Pixel{80, 200}));
    // Columns are not clipped.
    s = ClipSegment({{-50, 100}, {900, 100}}, axis, top);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->a.x, -50);
    EXPECT_EQ(s->b.x, 900);
}

TEST(GraphReadOut, ValuesUnderCursor) {
    const ClientRect c{0, 0, 465, 250};
    const YRange yr{-1, 4};
    const XRange xr{10.0f, 30.0f};
    EXPECT_DOUBLE_EQ(*ReadOutY(c, yr, 30), 4.0);
    EXPECT_DOUBLE_EQ(*ReadOutY(c, yr, 230), -1.0);
    EXPECT_DOUBLE_EQ(*ReadOutY(c, yr, 130), 1.5);
    EXPECT_FALSE(ReadOutY(c, yr, 29));
    EXPECT_FALSE(ReadOutY(c, yr, 231));
    EXPECT_FALSE(ReadOutY(c, YRange{}, 100));
    EXPECT_DOUBLE_EQ(*ReadOutX(c, xr, 35), 10.0);
    EXPECT_DOUBLE_EQ(*ReadOutX(c, xr, 435), 30.0);
    EXPECT_DOUBLE_EQ(*ReadOutX(c, xr, 235), 20.0);
    EXPECT_FALSE(ReadOutX(c, xr, 34));
    EXPECT_FALSE(ReadOutX(c, xr, 436));
    EXPECT_FALSE(ReadOutX(c, XRange{5.0f, 5.0f}, 100));
}

TEST(GraphLegend, NameAndCodeRules) {
    EXPECT_EQ(LegendText("ABC", "12"), "ABC (12)");
    EXPECT_EQ(LegendText("  Pszenica ", " 7 "), QStringLiteral("Pszenica (7)"));
    EXPECT_EQ(LegendText("Żyto     ", "   "), QStringLiteral("Żyto"));
    EXPECT_EQ(LegendText("", "K1 "), "K1");
    EXPECT_EQ(LegendText("   ", "\t"), "Charakterystyka");
}
