#include "app/trend_math.h"

#include <algorithm>
#include <cmath>

namespace trendmath {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

int64_t CeilDiv(int64_t a, int64_t b) {
    return -FloorDiv(-a, b);
}

bool Usable(const Sample& s) {
    return !s.IsGap() && std::isfinite(s.value);
}

// Values far outside any temperature are kept within this, so that pixel and
// integer arithmetic can never overflow.
constexpr double kValueLimit = 1e6;

}  // namespace

// ---- ring --------------------------------------------------------------------

SampleRing::SampleRing(size_t capacity) : m_capacity(std::max<size_t>(1, capacity)) {}

void SampleRing::Push(Sample s) {
    if (m_size > 0 && s.timeMs < back().timeMs) s.timeMs = back().timeMs;
    if (m_data.size() < m_capacity) {
        // Still filling: the oldest entry is at 0 and nothing has wrapped.
        m_data.push_back(s);
        ++m_size;
        return;
    }
    m_data[m_head] = s;
    m_head = (m_head + 1) % m_capacity;
}

void SampleRing::Clear() {
    m_head = 0;
    m_size = 0;
    m_data.clear();
}

size_t SampleRing::LowerBound(int64_t t) const {
    size_t lo = 0;
    size_t hi = m_size;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if ((*this)[mid].timeMs < t) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

// ---- history -----------------------------------------------------------------

bool TrendHistory::Feed(bool linkUp, uint64_t cycles, const TemperatureReading& reading,
                        int64_t steadyMs, int64_t wallMs) {
    m_lastFeedMs = steadyMs;
    m_wallOffsetMs = wallMs - steadyMs;
    if (!linkUp) {
        // The next reading after the outage is new whatever its value.
        m_haveLast = false;
        m_changeAdded = false;
        if (m_linkDown && steadyMs - m_lastGapMs < kLinkDownRepeatMs) return false;
        m_ring.Push(Sample{steadyMs, 0.0f, Sample::kLinkDown});
        m_linkDown = true;
        m_lastGapMs = steadyMs;
        return true;
    }
    if (!reading.valid) return false;

    const bool newCycle = !m_haveLast || cycles != m_lastCycles;
    const bool changed = !m_haveLast || reading.temperature != m_lastReading.temperature ||
                         reading.temperatureError != m_lastReading.temperatureError;
    bool add = false;
    if (newCycle) {
        // A change already added belongs to the cycle that has just completed.
        add = !(m_changeAdded && !changed);
        m_changeAdded = false;
    } else if (changed) {
        add = true;
        m_changeAdded = true;
    }
    m_haveLast = true;
    m_lastCycles = cycles;
    m_lastReading = reading;
    if (!add) return false;
    m_ring.Push(Sample{steadyMs, static_cast<float>(reading.temperature),
                       static_cast<uint8_t>(reading.temperatureError ? Sample::kError : 0)});
    m_linkDown = false;
    return true;
}

void TrendHistory::Clear() {
    m_ring.Clear();
    m_haveLast = false;
    m_changeAdded = false;
    m_linkDown = false;
}

// ---- spans and statistics ------------------------------------------------------

int64_t SpanMs(Span span) {
    switch (span) {
        case Span::Min10:
            return 10 * 60 * 1000LL;
        case Span::Hour1:
            return 3600 * 1000LL;
        case Span::Hour8:
            return 8 * 3600 * 1000LL;
        case Span::Hour24:
            return 24 * 3600 * 1000LL;
    }
    return 10 * 60 * 1000LL;
}

SpanStats ComputeStats(const SampleRing& ring, size_t first, size_t last) {
    SpanStats s;
    double sum = 0.0;
    last = std::min(last, ring.size());
    for (size_t i = first; i < last; ++i) {
        const Sample& e = ring[i];
        if (!Usable(e)) continue;
        const double v = e.value;
        if (s.count == 0) {
            s.min = s.max = v;
        } else {
            s.min = std::min(s.min, v);
            s.max = std::max(s.max, v);
        }
        sum += v;
        s.last = v;
        ++s.count;
    }
    if (s.count > 0) s.mean = sum / static_cast<double>(s.count);
    return s;
}

QString FormatStats(const SpanStats& stats) {
    const QString none = QStringLiteral("—");
    auto value = [&](double v) {
        return stats.count == 0 ? none : QString::asprintf("%.01f", v) + QStringLiteral(" °C");
    };
    return QStringLiteral("Min: ") + value(stats.min) + QStringLiteral("  Maks: ") +
           value(stats.max) + QStringLiteral("  Średnia: ") + value(stats.mean) +
           QStringLiteral("  Ostatni: ") + value(stats.last);
}

// ---- axes -----------------------------------------------------------------------

ValueAxis ChooseValueAxis(const SpanStats& stats, int plotHeight) {
    double lo = 15.0;
    double hi = 25.0;
    if (stats.count > 0) {
        const double mn = std::clamp(stats.min, -kValueLimit, kValueLimit);
        const double mx = std::clamp(stats.max, -kValueLimit, kValueLimit);
        const double margin = std::max(0.5, (mx - mn) * 0.1);
        lo = mn - margin;
        hi = mx + margin;
        if (hi - lo < 2.0) {
            const double mid = (lo + hi) / 2.0;
            lo = mid - 1.0;
            hi = mid + 1.0;
        }
    }
    const int64_t low = static_cast<int64_t>(std::floor(lo));
    const int64_t high = static_cast<int64_t>(std::ceil(hi));
    ValueAxis axis;
    for (int64_t decade = 1; decade <= 10'000'000; decade *= 10) {
        for (int64_t mul : {1, 2, 5}) {
            const int64_t step = decade * mul;
            const int64_t l = FloorDiv(low, step) * step;
            const int64_t u = CeilDiv(high, step) * step;
            axis = ValueAxis{static_cast<int>(l), static_cast<int>(u), static_cast<int>(step)};
            if ((u - l) / step * kMinValueTickPx <= std::max(plotHeight, 0)) return axis;
        }
    }
    return axis;
}

int64_t ChooseTimeStepMs(int64_t spanMs, int plotWidth) {
    static const int64_t kStepsS[] = {10,   15,   30,   60,    120,   300,   600,   900,
                                      1800, 3600, 7200, 10800, 14400, 21600, 43200, 86400};
    int64_t step = 0;
    for (int64_t s : kStepsS) {
        step = s * 1000;
        if (plotWidth > 0 && spanMs > 0 &&
            static_cast<double>(step) * plotWidth / static_cast<double>(spanMs) >= kMinTimeTickPx) {
            return step;
        }
    }
    return step;
}

std::vector<int64_t> TimeTicks(int64_t t0, int64_t t1, int64_t stepMs, int64_t wallOffsetMs,
                               int64_t utcOffsetMs) {
    std::vector<int64_t> ticks;
    if (stepMs <= 0 || t1 < t0) return ticks;
    const int64_t shift = wallOffsetMs + utcOffsetMs;
    constexpr size_t kMaxTicks = 1000;
    for (int64_t local = CeilDiv(t0 + shift, stepMs) * stepMs;
         local <= t1 + shift && ticks.size() < kMaxTicks; local += stepMs) {
        ticks.push_back(local - shift);
    }
    return ticks;
}

// ---- mapping ----------------------------------------------------------------------

int TimeToX(const View& v, int64_t t) {
    const int64_t span = std::max<int64_t>(1, v.t1 - v.t0);
    const double f = static_cast<double>(t - v.t0) / static_cast<double>(span);
    const double x = std::round(f * (v.width - 1));
    return v.left + static_cast<int>(std::clamp(x, 0.0, static_cast<double>(v.width - 1)));
}

int ValueToY(const View& v, double value) {
    const double range = v.v1 - v.v0 != 0.0 ? v.v1 - v.v0 : 1.0;
    const double f = (v.v1 - std::clamp(value, -kValueLimit, kValueLimit)) / range;
    const double y = std::round(f * (v.height - 1));
    return v.top + static_cast<int>(std::clamp(y, 0.0, static_cast<double>(v.height - 1)));
}

std::vector<Polyline> BuildTrace(const SampleRing& ring, size_t first, size_t last,
                                 const View& view) {
    std::vector<Polyline> out;
    Polyline line;
    last = std::min(last, ring.size());

    // The column being collected: its first, lowest, highest and last value.
    int column = -1;
    double firstV = 0, minV = 0, maxV = 0, lastV = 0;
    bool minBeforeMax = true;

    auto add = [&](int x, double v) {
        const QPoint p(x, ValueToY(view, v));
        if (line.empty() || line.back() != p) line.push_back(p);
    };
    auto flushColumn = [&] {
        if (column < 0) return;
        add(column, firstV);
        add(column, minBeforeMax ? minV : maxV);
        add(column, minBeforeMax ? maxV : minV);
        add(column, lastV);
        column = -1;
    };
    auto endLine = [&] {
        flushColumn();
        if (!line.empty()) out.push_back(std::move(line));
        line = Polyline();
    };

    for (size_t i = first; i < last; ++i) {
        const Sample& s = ring[i];
        if (!Usable(s)) {
            endLine();
            continue;
        }
        const double v = s.value;
        const int x = TimeToX(view, s.timeMs);
        if (x == column) {
            if (v < minV) {
                minV = v;
                minBeforeMax = false;
            }
            if (v > maxV) {
                maxV = v;
                minBeforeMax = true;
            }
            lastV = v;
        } else {
            flushColumn();
            column = x;
            firstV = minV = maxV = lastV = v;
            minBeforeMax = true;
        }
    }
    endLine();
    return out;
}

}  // namespace trendmath
