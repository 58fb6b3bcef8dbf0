#pragma once

#include <QPoint>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "meter/meter_records.h"

// The temperature trend: the history of readings taken by the main window's
// refresh, and the drawing math of the trend chart (ranges, scale steps, time
// and value to pixel mapping, the decimated trace with its gaps, statistics of
// the shown span). Core code: the chart widget only paints what this computes.
namespace trendmath {

// One entry of the history. Times are milliseconds of a steady clock, so the
// order of entries never depends on changes of the wall clock.
struct Sample {
    enum Flag : uint8_t {
        kLinkDown = 1,  // no link to the meter at that moment (no value)
        kError = 2,     // the meter flagged the reading as erroneous
    };
    int64_t timeMs = 0;
    float value = 0.0f;  // degrees Celsius
    uint8_t flags = 0;

    // A gap entry breaks the trace and counts in no statistics.
    bool IsGap() const { return flags != 0; }
};
static_assert(sizeof(Sample) == 16, "the history's memory bound assumes 16-byte entries");

// Fixed-capacity ring of samples, oldest first. Memory is allocated as the
// ring fills and never exceeds capacity * sizeof(Sample).
class SampleRing {
public:
    explicit SampleRing(size_t capacity);

    // Adds s as the newest entry, dropping the oldest when full. An entry
    // older than the newest one is stamped with the newest time, so the ring
    // stays ordered by time.
    void Push(Sample s);
    void Clear();

    size_t size() const { return m_size; }
    size_t capacity() const { return m_capacity; }
    bool empty() const { return m_size == 0; }
    // i-th entry, 0 the oldest; i < size().
    const Sample& operator[](size_t i) const { return m_data[(m_head + i) % m_capacity]; }
    const Sample& back() const { return (*this)[m_size - 1]; }
    // Index of the first entry with timeMs >= t (size() when none).
    size_t LowerBound(int64_t t) const;

private:
    size_t m_capacity = 1;
    size_t m_head = 0;  // index in m_data of the oldest entry
    size_t m_size = 0;
    std::vector<Sample> m_data;
};

// The history kept by the main window, fed from every 100 ms refresh, and the
// rule deciding what a new reading is.
//
// Capacity: polling completes at most one cycle a second (1 s pause after each
// cycle plus seven exchanges on the wire), so a day holds at most 86400
// readings. 131072 entries leave room for readings that change between cycles
// and for the gap entries, and bound the memory to 131072 * 16 B = 2 MiB.
class TrendHistory {
public:
    static constexpr size_t kCapacity = 131072;
    static constexpr size_t kMemoryBoundBytes = kCapacity * sizeof(Sample);
    // While the link is down a gap entry is added at most this often, so the
    // chart's time axis keeps moving during an outage.
    static constexpr int64_t kLinkDownRepeatMs = 1000;

    explicit TrendHistory(size_t capacity = kCapacity) : m_ring(capacity) {}

    // One refresh: whether the link was up, the driver's count of
    // completed polling cycles and the temperature record as copied. steadyMs
    // and wallMs are the times of the refresh. True when an entry was added:
    // - link up and a valid reading: when a new cycle completed or the reading
    //   changed; the cycle that delivered an already added change adds nothing;
    // - link down: a gap entry, then another one every kLinkDownRepeatMs.
    bool Feed(bool linkUp, uint64_t cycles, const TemperatureReading& reading, int64_t steadyMs,
              int64_t wallMs);

    // Adds an entry as it is (tests, benchmarks).
    void Append(const Sample& s) { m_ring.Push(s); }
    void Clear();

    const SampleRing& Samples() const { return m_ring; }
    // Wall-clock time minus steady time at the last Feed; converts entry times
    // to dates for labels and saved data.
    int64_t WallOffsetMs() const { return m_wallOffsetMs; }
    void SetWallOffsetMs(int64_t offset) { m_wallOffsetMs = offset; }
    // The right edge of the chart: the newest entry, or the last Feed when empty.
    int64_t NewestTimeMs() const { return m_ring.empty() ? m_lastFeedMs : m_ring.back().timeMs; }

private:
    SampleRing m_ring;
    int64_t m_wallOffsetMs = 0;
    int64_t m_lastFeedMs = 0;
    bool m_haveLast = false;  // a reading was seen with the link up
    uint64_t m_lastCycles = 0;
    TemperatureReading m_lastReading;
    bool m_changeAdded = false;  // an entry for a change was added within this cycle
    bool m_linkDown = false;     // the newest entry is a link-down gap
    int64_t m_lastGapMs = 0;
};

// The four spans offered by the window.
enum class Span { Min10 = 0, Hour1 = 1, Hour8 = 2, Hour24 = 3 };
int64_t SpanMs(Span span);

// Statistics of the readings (gap entries left out) in a span.
struct SpanStats {
    size_t count = 0;
    double min = 0.0;
    double max = 0.0;
    double mean = 0.0;
    double last = 0.0;
};
// Entries with index in [first, last) of ring.
SpanStats ComputeStats(const SampleRing& ring, size_t first, size_t last);
// "Min: 20.1 °C  Maks: 22.3 °C  Średnia: 21.2 °C  Ostatni: 21.9 °C", each
// number "%.01f" with a full stop; "—" for each when there is no reading.
QString FormatStats(const SpanStats& stats);

// The value axis: whole-degree bounds, multiples of the tick step.
struct ValueAxis {
    int lower = 0;
    int upper = 0;
    int step = 1;
    bool operator==(const ValueAxis& o) const {
        return lower == o.lower && upper == o.upper && step == o.step;
    }
};
// Minimum distance between value labels, pixels.
constexpr int kMinValueTickPx = 22;
// Bounds enclosing [min, max] with a margin (at least 0.5 °C, a tenth of the
// spread, at least 2 °C apart), widened to multiples of the smallest step of
// 1, 2, 5, 10, 20, 50... that keeps labels kMinValueTickPx apart in plotHeight.
// Without readings (count 0) the axis is 15..25 °C.
ValueAxis ChooseValueAxis(const SpanStats& stats, int plotHeight);

// Minimum distance between time labels ("hh:mm:ss"), pixels.
constexpr int kMinTimeTickPx = 80;
// The smallest of 10 s, 15 s, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3, 4, 6,
// 12, 24 h that keeps labels kMinTimeTickPx apart over plotWidth.
int64_t ChooseTimeStepMs(int64_t spanMs, int plotWidth);
// Steady times in [t0, t1] at which the local wall-clock time is a whole
// multiple of stepMs. wallOffsetMs: wall minus steady; utcOffsetMs: local
// time minus UTC.
std::vector<int64_t> TimeTicks(int64_t t0, int64_t t1, int64_t stepMs, int64_t wallOffsetMs,
                               int64_t utcOffsetMs);

// The plot area and the shown intervals; right and bottom exclusive.
struct View {
    int left = 0;
    int top = 0;
    int width = 1;
    int height = 1;
    int64_t t0 = 0;  // time at the left edge
    int64_t t1 = 1;  // time at the right edge
    double v0 = 0;   // value at the bottom edge
    double v1 = 1;   // value at the top edge
};
// Time to x: t0 at left, t1 at left + width - 1, clamped to the plot.
int TimeToX(const View& v, int64_t t);
// Value to y: v1 at top, v0 at top + height - 1, clamped to the plot.
int ValueToY(const View& v, double value);

// The trace of entries [first, last) as polylines in pixels, decimated to at
// most four points (first, min, max, last) per pixel column, and broken at
// every gap entry: no polyline joins readings on both sides of a gap. A
// polyline of one point is a lone reading.
using Polyline = std::vector<QPoint>;
std::vector<Polyline> BuildTrace(const SampleRing& ring, size_t first, size_t last,
                                 const View& view);

}  // namespace trendmath
