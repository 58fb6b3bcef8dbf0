#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/trend_math.h"

using namespace trendmath;

namespace {

TemperatureReading Reading(double t, bool error = false) {
    TemperatureReading r;
    r.temperature = t;
    r.temperatureError = error;
    r.valid = true;
    return r;
}

Sample Value(int64_t t, float v) {
    return Sample{t, v, 0};
}
Sample Gap(int64_t t, uint8_t flag = Sample::kLinkDown) {
    return Sample{t, 0.0f, flag};
}

View PlotView(int64_t t0, int64_t t1, double v0, double v1, int width = 1000, int height = 300) {
    View v;
    v.left = 50;
    v.top = 20;
    v.width = width;
    v.height = height;
    v.t0 = t0;
    v.t1 = t1;
    v.v0 = v0;
    v.v1 = v1;
    return v;
}

}  // namespace

TEST(TrendRing, KeepsTheNewestEntriesOldestFirstAndStaysOrdered) {
    SampleRing ring(4);
    for (int i = 0; i < 10; ++i) ring.Push(Value(i * 10, float(i)));
    ASSERT_EQ(ring.size(), 4u);
    EXPECT_EQ(ring[0].timeMs, 60);
    EXPECT_EQ(ring.back().timeMs, 90);
    EXPECT_EQ(ring.LowerBound(65), 1u);
    EXPECT_EQ(ring.LowerBound(70), 1u);
    EXPECT_EQ(ring.LowerBound(0), 0u);
    EXPECT_EQ(ring.LowerBound(91), 4u);

    // An entry stamped earlier than the newest keeps the order.
    ring.Push(Value(5, 1.0f));
    EXPECT_EQ(ring.back().timeMs, 90);
    EXPECT_EQ(ring[0].timeMs, 70);

    ring.Clear();
    EXPECT_TRUE(ring.empty());
    ring.Push(Value(1, 2.0f));
    EXPECT_EQ(ring.size(), 1u);
    EXPECT_EQ(ring[0].value, 2.0f);
}

TEST(TrendHistory, OneEntryPerNewCycleOrChangedReadingNotPerTick) {
    TrendHistory h;
    int64_t t = 1000;
    auto tick = [&](bool link, uint64_t cycles, const TemperatureReading& r) {
        t += 100;
        return h.Feed(link, cycles, r, t, t + 5000);
    };
    EXPECT_TRUE(tick(true, 7, Reading(21.5)));
    for (int i = 0; i < 9; ++i) EXPECT_FALSE(tick(true, 7, Reading(21.5)));
    EXPECT_TRUE(tick(true, 8, Reading(21.5)));  // a new cycle, same value
    EXPECT_EQ(h.Samples().size(), 2u);
    EXPECT_EQ(h.WallOffsetMs(), 5000);

    // A change seen in the middle of a cycle, then the completion of that
    // cycle: one entry; the next cycle adds one again.
    EXPECT_TRUE(tick(true, 8, Reading(21.7)));
    EXPECT_FALSE(tick(true, 9, Reading(21.7)));
    EXPECT_TRUE(tick(true, 10, Reading(21.7)));
    // A change arriving together with the new cycle counts once.
    EXPECT_TRUE(tick(true, 11, Reading(21.9)));
    EXPECT_FALSE(tick(true, 11, Reading(21.9)));

    // The error flag set is a new, flagged reading.
    EXPECT_TRUE(tick(true, 11, Reading(21.9, true)));
    EXPECT_EQ(h.Samples().back().flags, Sample::kError);
    EXPECT_TRUE(h.Samples().back().IsGap());

    // No valid record with the link up: nothing.
    TemperatureReading none;
    EXPECT_FALSE(tick(true, 12, none));
}

TEST(TrendHistory, LinkDownAddsAGapEverySecondAndRecoveryAddsTheReading) {
    TrendHistory h;
    int64_t t = 0;
    auto tick = [&](bool link, uint64_t cycles, double v) {
        t += 100;
        return h.Feed(link, cycles, Reading(v), t, t);
    };
    EXPECT_TRUE(tick(true, 1, 20.0));
    int gaps = 0;
    for (int i = 0; i < 25; ++i) gaps += tick(false, 1, 20.0) ? 1 : 0;  // 2.5 s down
    EXPECT_EQ(gaps, 3);                                                 // at 0, 1 and 2 s
    for (size_t i = 1; i < h.Samples().size(); ++i)
        EXPECT_EQ(h.Samples()[i].flags, Sample::kLinkDown);
    // The first reading after the outage is added even though the value and
    // the cycle count are those of before.
    EXPECT_TRUE(tick(true, 1, 20.0));
    EXPECT_FALSE(h.Samples().back().IsGap());
    // Down again at once: a gap at once, not a second later.
    EXPECT_TRUE(tick(false, 1, 20.0));
}

TEST(TrendStats, SpanStatisticsLeaveGapsOutAndFormatWithAFullStop) {
    SampleRing ring(100);
    ring.Push(Value(0, 30.0f));  // before the span
    ring.Push(Value(10, 20.1f));
    ring.Push(Gap(20));
    ring.Push(Value(30, 22.3f));
    ring.Push(Sample{40, 99.0f, Sample::kError});
    ring.Push(Value(50, 21.9f));
    ring.Push(Value(60, std::numeric_limits<float>::quiet_NaN()));
    const SpanStats s = ComputeStats(ring, 1, ring.size());
    EXPECT_EQ(s.count, 3u);
    EXPECT_FLOAT_EQ(s.min, 20.1f);
    EXPECT_FLOAT_EQ(s.max, 22.3f);
    EXPECT_NEAR(s.mean, (20.1 + 22.3 + 21.9) / 3, 1e-5);
    EXPECT_FLOAT_EQ(s.last, 21.9f);
    EXPECT_EQ(FormatStats(s),
              QStringLiteral("Min: 20.1 °C  Maks: 22.3 °C  Średnia: 21.4 °C  Ostatni: 21.9 °C"));

    // Only gaps in the span: dashes.
    EXPECT_EQ(FormatStats(ComputeStats(ring, 2, 3)),
              QStringLiteral("Min: —  Maks: —  Średnia: —  Ostatni: —"));
}

TEST(TrendAxes, ValueAxisHasMarginsWholeDegreesAndASteppedScale) {
    SpanStats s;
    s.count = 5;
    s.min = 20.1;
    s.max = 22.3;
    EXPECT_EQ(ChooseValueAxis(s, 300), (ValueAxis{19, 23, 1}));
    // Too low for labels every degree: 2, then 5 degrees, bounds on multiples.
    EXPECT_EQ(ChooseValueAxis(s, 70), (ValueAxis{18, 24, 2}));
    EXPECT_EQ(ChooseValueAxis(s, 50), (ValueAxis{15, 25, 5}));
    // A flat series still spans two degrees; a wide one gets a tenth margin.
    s.min = s.max = 21.0;
    EXPECT_EQ(ChooseValueAxis(s, 300), (ValueAxis{20, 22, 1}));
    s.min = -3.5;
    s.max = 96.5;
    EXPECT_EQ(ChooseValueAxis(s, 300), (ValueAxis{-20, 110, 10}));
    // No readings; absurd readings stay within int range.
    EXPECT_EQ(ChooseValueAxis(SpanStats{}, 300), (ValueAxis{15, 25, 1}));
    s.min = -1e30;
    s.max = 1e30;
    const ValueAxis huge = ChooseValueAxis(s, 300);
    EXPECT_LT(huge.lower, 0);
    EXPECT_GT(huge.upper, 0);
    EXPECT_LE((int64_t(huge.upper) - huge.lower) / huge.step * kMinValueTickPx, 300);
}

TEST(TrendAxes, TimeStepForEachSpanAndTicksOnWholeLocalTimes) {
    EXPECT_EQ(ChooseTimeStepMs(SpanMs(Span::Min10), 1000), 60'000);
    EXPECT_EQ(ChooseTimeStepMs(SpanMs(Span::Hour1), 1000), 300'000);
    EXPECT_EQ(ChooseTimeStepMs(SpanMs(Span::Hour8), 1000), 3'600'000);
    EXPECT_EQ(ChooseTimeStepMs(SpanMs(Span::Hour24), 1000), 7'200'000);
    EXPECT_EQ(ChooseTimeStepMs(SpanMs(Span::Min10), 300), 300'000);
    EXPECT_EQ(ChooseTimeStepMs(SpanMs(Span::Hour24), 0), 86'400'000);

    // Steady 0 is 12:00:07 UTC, 13:00:07 local: one-minute ticks fall on
    // 13:01:00, 13:02:00, ... local.
    const int64_t wallOffset = 12 * 3600'000LL + 7'000;
    const std::vector<int64_t> ticks = TimeTicks(0, 600'000, 60'000, wallOffset, 3600'000);
    ASSERT_EQ(ticks.size(), 10u);
    EXPECT_EQ(ticks.front(), 53'000);
    for (size_t i = 1; i < ticks.size(); ++i) EXPECT_EQ(ticks[i] - ticks[i - 1], 60'000);
    EXPECT_LE(ticks.back(), 600'000);
    // Before 1970 in local time the alignment still holds.
    EXPECT_EQ(TimeTicks(-90'000, -30'000, 60'000, 0, 0), (std::vector<int64_t>{-60'000}));
}

TEST(TrendMapping, TimeAndValueMapOntoThePlotAndClamp) {
    const View v = PlotView(1000, 2000, 10, 30);
    EXPECT_EQ(TimeToX(v, 1000), 50);
    EXPECT_EQ(TimeToX(v, 2000), 50 + 999);
    EXPECT_EQ(TimeToX(v, 1500), 50 + 500);
    EXPECT_EQ(TimeToX(v, 0), 50);
    EXPECT_EQ(TimeToX(v, 99999), 50 + 999);
    EXPECT_EQ(ValueToY(v, 30), 20);
    EXPECT_EQ(ValueToY(v, 10), 20 + 299);
    EXPECT_EQ(ValueToY(v, 20), 20 + 150);
    EXPECT_EQ(ValueToY(v, -1e9), 20 + 299);
    EXPECT_EQ(ValueToY(v, 1e9), 20);
}

TEST(TrendTrace, GapsBreakTheTraceAndNoLineCrossesThem) {
    SampleRing ring(100);
    for (int i = 0; i < 10; ++i) ring.Push(Value(i * 1000, 20.0f + i * 0.1f));
    ring.Push(Gap(10'000));
    for (int i = 11; i < 20; ++i) ring.Push(Value(i * 1000, 21.0f));
    ring.Push(Gap(20'000, Sample::kError));
    ring.Push(Value(21'000, 22.0f));  // a lone reading
    const View v = PlotView(0, 21'000, 19, 23, 210);
    const std::vector<Polyline> trace = BuildTrace(ring, 0, ring.size(), v);
    ASSERT_EQ(trace.size(), 3u);
    const int gap1 = TimeToX(v, 10'000);
    const int gap2 = TimeToX(v, 20'000);
    for (const QPoint& p : trace[0]) EXPECT_LT(p.x(), gap1);
    for (const QPoint& p : trace[1]) {
        EXPECT_GT(p.x(), gap1);
        EXPECT_LT(p.x(), gap2);
    }
    ASSERT_EQ(trace[2].size(), 1u);
    EXPECT_EQ(trace[2][0], QPoint(TimeToX(v, 21'000), ValueToY(v, 22.0)));
    // The first line follows the readings from left to right.
    EXPECT_EQ(trace[0].front(), QPoint(TimeToX(v, 0), ValueToY(v, 20.0)));
    EXPECT_EQ(trace[0].back(), QPoint(TimeToX(v, 9000), ValueToY(v, 20.9)));

    // A NaN value is a gap too; a range starting in the middle starts there.
    ring.Push(Value(22'000, std::numeric_limits<float>::quiet_NaN()));
    ring.Push(Value(23'000, 22.0f));
    const View w = PlotView(0, 23'000, 19, 23, 230);
    EXPECT_EQ(BuildTrace(ring, 0, ring.size(), w).size(), 4u);
    EXPECT_EQ(BuildTrace(ring, 15, ring.size(), w).size(), 3u);
}

TEST(TrendTrace, DayOfReadingsDecimatesToFourPointsPerColumnKeepingExtremes) {
    SampleRing ring(TrendHistory::kCapacity);
    for (int i = 0; i < 86400; ++i) {
        float v = 21.0f + 0.5f * std::sin(i / 3000.0f);
        if (i == 43210) v = 26.0f;  // a one-second spike
        if (i == 50000) v = 16.0f;
        ring.Push(Value(int64_t(i) * 1000, v));
    }
    const View v = PlotView(0, 86'399'000, 15, 27, 1000, 400);
    const std::vector<Polyline> trace = BuildTrace(ring, 0, ring.size(), v);
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_LE(trace[0].size(), 4000u);
    EXPECT_GE(trace[0].size(), 1000u);
    int top = INT32_MAX, bottom = INT32_MIN;
    for (const QPoint& p : trace[0]) {
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    EXPECT_EQ(top, ValueToY(v, 26.0));
    EXPECT_EQ(bottom, ValueToY(v, 16.0));
    // The spike stands in its own column.
    const int spikeX = TimeToX(v, 43'210'000);
    bool found = false;
    for (const QPoint& p : trace[0]) found |= (p == QPoint(spikeX, ValueToY(v, 26.0)));
    EXPECT_TRUE(found);
    // x never decreases along the line.
    for (size_t i = 1; i < trace[0].size(); ++i) EXPECT_GE(trace[0][i].x(), trace[0][i - 1].x());
}
