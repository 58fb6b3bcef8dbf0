// Cost of the trend window with a full day of readings.
//
//   kv60x_bench_trend [--seconds N] [--width W]
//
// Fills 86400 readings (one a second, a drift with noise, a few link gaps and
// flagged readings), shows the window on the 24 h span with the chart W pixels
// wide (default 1000), and prints:
//   - the time of one chart redraw (paint event through the off-screen buffer),
//     and of its parts (statistics, decimated trace);
//   - the CPU share of the process while a new reading arrives and the window
//     redraws once a second, for N seconds (default 20).
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/widgets/trend_window.h"

using namespace trendmath;

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

uint32_t g_seed = 12345;
float Noise() {
    g_seed = g_seed * 1664525u + 1013904223u;
    return float((g_seed >> 8) & 0xFFFF) / 65535.0f - 0.5f;
}

Sample Reading(int64_t i) {
    const int64_t t = i * 1000;
    if (i % 7200 >= 7100) return Sample{t, 0.0f, Sample::kLinkDown};  // 100 s down every 2 h
    if (i % 5000 == 17) return Sample{t, 0.0f, Sample::kError};
    const float v = 21.0f + 2.0f * std::sin(float(i) / 6000.0f) + 0.2f * Noise();
    return Sample{t, v, 0};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 20;
    int width = 1000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--width"))
            width = std::max(100, std::atoi(argv[++i]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TrendHistory history;
    history.SetWallOffsetMs(1709632800000LL);
    int64_t n = 0;
    for (; n < 86400; ++n) history.Append(Reading(n));

    TrendWindow window(&history);
    window.spanBox()->setCurrentIndex(int(Span::Hour24));
    window.show();
    // The chart's own width; the plot inside is some 60 px narrower.
    window.resize(width + 40, 520);
    QApplication::processEvents();
    TrendChart* chart = window.chart();
    chart->resize(width, 400);
    std::printf("readings: %zu in the history (capacity %zu, at most %zu bytes)\n",
                history.Samples().size(), history.Samples().capacity(),
                TrendHistory::kMemoryBoundBytes);
    std::printf("chart: %d x %d px, plot %d px wide, span 24 h\n", chart->width(), chart->height(),
                chart->lastView().width);

    // One redraw, repeated.
    std::vector<double> paintMs, statsMs, traceMs;
    for (int i = 0; i < 100; ++i) {
        QElapsedTimer t;
        t.start();
        chart->repaint();
        paintMs.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    size_t first = 0, last = 0;
    chart->ShownRange(first, last);
    size_t points = 0;
    for (int i = 0; i < 100; ++i) {
        QElapsedTimer t;
        t.start();
        const SpanStats s = ComputeStats(history.Samples(), first, last);
        statsMs.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        const std::vector<Polyline> trace =
            BuildTrace(history.Samples(), first, last, chart->lastView());
        traceMs.push_back(double(t.nsecsElapsed()) / 1e6);
        points = 0;
        for (const Polyline& p : trace) points += p.size();
        if (s.count == 0) return 1;
    }
    std::printf(
        "redraw: median %.2f ms, worst %.2f ms (statistics %.2f ms, trace %.2f ms, "
        "%zu points in %zu entries)\n",
        Median(paintMs), *std::max_element(paintMs.begin(), paintMs.end()), Median(statsMs),
        Median(traceMs), points, last - first);

    // A new reading and one redraw a second, as with the service data shown.
    QTimer feed;
    feed.setInterval(1000);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        history.Append(Reading(n++));
        window.OnNewEntry();
    });
    const int paints0 = chart->paintCount();
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    feed.start();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = CpuSeconds() - cpu0;
    const double elapsed = double(wall.elapsed()) / 1000.0;
    std::printf("live: %.1f s, %d redraws, CPU %.3f s = %.2f %% of one core\n", elapsed,
                chart->paintCount() - paints0, cpu, 100.0 * cpu / elapsed);
    return 0;
}
