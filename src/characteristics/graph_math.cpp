#include "characteristics/graph_math.h"

#include <cmath>

namespace graphmath {

namespace {

constexpr double kTruncLimit = 1e9;

struct StepRow {
    double threshold;
    int code;
};

// Pixel scale thresholds and the step codes they select, in order.
constexpr StepRow kStepTable[] = {
    {0.001, 2000000}, {0.0025, 1000000}, {0.005, 500000}, {0.01, 200000}, {0.025, 100000},
    {0.05, 50000},    {0.1, 20000},      {0.25, 10000},   {0.5, 5000},    {1, 2000},
    {2.5, 1000},      {5, 500},          {10, 250},       {12.5, 200},    {25, 100},
    {50, 50},         {100, 25},         {125, 20},       {250, 10},      {500, 5},
    {1250, 2},        {2500, 1},
};
constexpr double kLastYThreshold = 25;
constexpr int kInitialStepCode = 5000000;
constexpr double kScaleOrigin = 10000;

}  // namespace

int32_t TruncClamp(double v) {
    if (std::isnan(v)) return 0;
    if (v > kTruncLimit) return static_cast<int32_t>(kTruncLimit);
    if (v < -kTruncLimit) return static_cast<int32_t>(-kTruncLimit);
    return static_cast<int32_t>(std::trunc(v));
}

void UpdateYRange(YRange& range, float y) {
    const double v = y;
    if (range.lower == range.upper) {
        range.lower = TruncClamp(v - 0.5) - 1;
        range.upper = TruncClamp(v + 0.5) + 1;
        return;
    }
    if (v - 0.5 < range.lower) range.lower = TruncClamp(v) - 1;
    if (v + 0.5 > range.upper) range.upper = TruncClamp(v) + 1;
}

void UpdateXRange(XRange& range, float x, bool first) {
    if (first) {
        range.left = x;
        range.right = x;
        return;
    }
    if (x < range.left) range.left = x;
    if (x > range.right) range.right = x;
}

bool TooSmall(const ClientRect& r) {
    return r.bottom <= r.top + kMinPlotHeight;
}

double XScale(const ClientRect& r, const XRange& x) {
    const double span = static_cast<double>(x.right) - static_cast<double>(x.left);
    const double pixels = r.right - kXScaleInset - kRightMargin;
    return span > 0 ? pixels / span : pixels;
}

double YScale(const ClientRect& r, const YRange& y) {
    const double span = static_cast<double>(y.upper) - static_cast<double>(y.lower);
    const double pixels = r.height() - kTopMargin - kBottomMargin;
    return span > 0 ? pixels / span : pixels;
}

int StepCode(double s, bool yAxis) {
    int code = kInitialStepCode;
    for (const StepRow& row : kStepTable) {
        if (yAxis && row.threshold > kLastYThreshold) break;
        if (s >= row.threshold) code = row.code;
    }
    return code;
}

int YStep(double s) {
    return StepCode(s, true) / 100;
}

double XStep(double s) {
    return StepCode(s, false) / 100.0;
}

double FirstScaleValue(double step, double low) {
    // Computed directly rather than by counting k up from 1, which could take
    // billions of steps for a range far from zero.
    double k = std::ceil((low + kScaleOrigin) / step);
    if (!(k >= 1)) k = 1;  // also catches NaN
    // Correct the rounding of the division (at most a step either way).
    for (int i = 0; i < 3 && step * k - kScaleOrigin < low; ++i) k += 1;
    for (int i = 0; i < 3 && k > 1 && step * (k - 1) - kScaleOrigin >= low; ++i) k -= 1;
    return step * k - kScaleOrigin;
}

int XToColumn(const ClientRect& r, const XRange& range, double xScale, double x) {
    return r.left + kLeftMargin + TruncClamp((x - static_cast<double>(range.left)) * xScale);
}

int YToRow(const ClientRect& r, const YRange& range, double yScale, double y) {
    return r.bottom - kBottomMargin - TruncClamp((y - range.lower) * yScale);
}

namespace {

// Moves end `p` of segment p-q along the segment onto row `row`.
Pixel MoveOntoRow(Pixel p, Pixel q, int row) {
    if (p.x == q.x) return Pixel{p.x, row};
    const float dx = static_cast<float>(q.x - p.x);
    const float dy = static_cast<float>(q.y - p.y);
    const float x = static_cast<float>(p.x) + static_cast<float>(row - p.y) * dx / dy;
    return Pixel{TruncClamp(x), row};
}

}  // namespace

std::optional<Segment> ClipSegment(Segment s, int axis, int top) {
    // Below the axis (rows grow downward).
    if (s.a.y > axis && s.b.y > axis) return std::nullopt;
    if (s.a.y > axis)
        s.a = MoveOntoRow(s.a, s.b, axis);
    else if (s.b.y > axis)
        s.b = MoveOntoRow(s.b, s.a, axis);
    // Above the top row.
    if (s.a.y < top && s.b.y < top) return std::nullopt;
    if (s.a.y < top)
        s.a = MoveOntoRow(s.a, s.b, top);
    else if (s.b.y < top)
        s.b = MoveOntoRow(s.b, s.a, top);
    return s;
}

std::optional<double> ReadOutY(const ClientRect& r, const YRange& range, int cy) {
    const double span = static_cast<double>(range.upper) - range.lower;
    const int topRow = r.top + kTopMargin;
    if (span <= 0 || cy < topRow || cy > AxisRow(r)) return std::nullopt;
    const double plot = r.height() - kBottomMargin - kTopMargin;
    if (plot <= 0) return std::nullopt;
    return range.upper - (cy - topRow) / plot * span;
}

std::optional<double> ReadOutX(const ClientRect& r, const XRange& range, int cx) {
    const double span = static_cast<double>(range.right) - static_cast<double>(range.left);
    const int leftCol = r.left + kLeftMargin;
    if (span <= 0 || cx < leftCol || cx > r.right - kRightMargin) return std::nullopt;
    const double plot = r.width() - kLeftMargin - kRightMargin;
    if (plot <= 0) return std::nullopt;
    return static_cast<double>(range.left) + (cx - leftCol) / plot * span;
}

QString LegendText(const QString& name, const QString& code) {
    const QString n = name.trimmed();
    const QString c = code.trimmed();
    if (!n.isEmpty() && !c.isEmpty()) return QStringLiteral("%1 (%2)").arg(n, c);
    if (!n.isEmpty()) return n;
    if (!c.isEmpty()) return c;
    return QStringLiteral("Charakterystyka");
}

}  // namespace graphmath
