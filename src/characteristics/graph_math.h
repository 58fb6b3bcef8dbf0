#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// Geometry of the characteristic graph, free of any widget: ranges, pixel
// scales, scale steps, point-to-pixel mapping, segment clipping and the
// crosshair read-outs. CGraph draws with these; tests check them directly.
namespace graphmath {

// Fixed layout of the plot inside the control (pixels).
constexpr int kScaleColumnWidth = 25;                // column of y labels
constexpr int kLeftMargin = kScaleColumnWidth + 10;  // plot's left edge
constexpr int kTopMargin = 30;
constexpr int kRightMargin = 30;
constexpr int kBottomMargin = 20;                     // x axis above the bottom
constexpr int kXScaleInset = 11 + kScaleColumnWidth;  // 36, used by the x scale
constexpr int kMinPlotHeight = kTopMargin + kBottomMargin + 5;

// Whole-number bounds enclosing every y with a margin.
struct YRange {
    int32_t lower = 0;
    int32_t upper = 0;
    bool operator==(const YRange& o) const { return lower == o.lower && upper == o.upper; }
};

// Smallest and largest x added. A series with decreasing x (a characteristic
// with falling humidities) still spans its whole width.
struct XRange {
    float left = 0.0f;
    float right = 0.0f;
};

// trunc toward zero, kept within +-1e9 (NaN gives 0), so that absurd values
// from a record can never overflow the int32 range and pixel arithmetic.
int32_t TruncClamp(double v);

// Widens `range` for a new y. While the two bounds are equal (before the first
// point) the range is set around y; afterwards it only grows.
void UpdateYRange(YRange& range, float y);
// Widens `range` for a new x; `first` starts the range at x.
void UpdateXRange(XRange& range, float x, bool first);

// Client rectangle in the platform's convention: right and bottom are the
// width and the height (one past the last pixel).
struct ClientRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// True when the rectangle is too low for a plot: only the background shows.
bool TooSmall(const ClientRect& r);

// Pixels per x unit and per y unit. A range of zero width is treated as 1.
double XScale(const ClientRect& r, const XRange& x);
double YScale(const ClientRect& r, const YRange& y);

// Step code for a pixel scale s; the y scale uses the table only up to the
// threshold 25 (its smallest code is 100).
int StepCode(double s, bool yAxis);
// The y step (c / 100 in integers) and the x step (c / 100.0).
int YStep(double s);
double XStep(double s);

// First scale value step * k - 10000 (k = 1, 2, ...) that is not below `low`.
double FirstScaleValue(double step, double low);

// Upper bound of labels drawn on one scale, so a degenerate step can never
// stall the drawing.
constexpr int kMaxScaleLabels = 2000;

struct Pixel {
    int x = 0;
    int y = 0;
    bool operator==(const Pixel& o) const { return x == o.x && y == o.y; }
};

// Column of x and row of y in the plot.
int XToColumn(const ClientRect& r, const XRange& range, double xScale, double x);
int YToRow(const ClientRect& r, const YRange& range, double yScale, double y);

// Row of the x axis and the top row of the plot.
inline int AxisRow(const ClientRect& r) {
    return r.bottom - kBottomMargin;
}
inline int TopRow(const ClientRect& r) {
    return r.top + kTopMargin;
}

struct Segment {
    Pixel a;
    Pixel b;
};

// Clips a curve segment against the x-axis row `axis` and the top row `top`
// (rows grow downward). An end beyond a row is moved along the segment onto it
// (single precision); nothing remains when both ends lie beyond the same row.
// Columns are not clipped.
std::optional<Segment> ClipSegment(Segment s, int axis, int top);

// Values under the cursor, or nothing when the cursor is outside the span or
// the range is empty.
std::optional<double> ReadOutY(const ClientRect& r, const YRange& range, int cy);
std::optional<double> ReadOutX(const ClientRect& r, const XRange& range, int cx);

// Legend of a characteristic: "name (code)", the name alone, the code alone or
// "Charakterystyka"; both parts trimmed of surrounding white space.
QString LegendText(const QString& name, const QString& code);

}  // namespace graphmath
