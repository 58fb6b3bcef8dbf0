#include "characteristics/graph_paint.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "records/cp1250.h"

using namespace graphmath;

namespace graphpaint {

namespace {

constexpr int kCentered =
    Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
constexpr int kLeftCentered =
    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
// Captions keep this distance from the picture's edges so no glyph is cut.
constexpr int kEdgeGap = 2;

// A box given by its edges, right and bottom exclusive.
QRect Box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

QPoint At(const Pixel& px) {
    return QPoint(px.x, px.y);
}

void DrawYScale(QPainter& p, const ClientRect& r, const GraphData& d, const GraphStyle& s) {
    p.setPen(QPen(s.axis, 1, Qt::SolidLine));
    // Centred over the scale column; a caption wider than the column starts
    // at the picture's edge instead of being cut off by it.
    const int captionWidth = QFontMetrics(s.font, p.device()).horizontalAdvance(d.yCaption);
    if (captionWidth <= 45 - 2 * kEdgeGap)
        p.drawText(Box(r.left, r.top, r.left + 45, r.top + 25), kCentered, d.yCaption);
    else
        p.drawText(Box(r.left + kEdgeGap, r.top, r.left + kEdgeGap + captionWidth, r.top + 25),
                   kLeftCentered, d.yCaption);

    const double scale = YScale(r, d.yRange);
    const bool hasSpan = d.yRange.upper > d.yRange.lower;
    if (scale > 0 && hasSpan) {
        const int step = YStep(scale);
        const double first = FirstScaleValue(step, d.yRange.lower);
        for (int n = 0; n < kMaxScaleLabels; ++n) {
            const double v = first + static_cast<double>(n) * step;
            const int row = YToRow(r, d.yRange, scale, v);
            if (row < TopRow(r)) break;
            p.drawText(Box(r.left + 10, row - 7, r.left + 35, row + 7), kCentered,
                       QString::asprintf("%.0f", v));
        }
    }
    p.drawLine(r.left + 10, TopRow(r), r.left + 10, AxisRow(r));
    p.drawLine(r.left + 35, TopRow(r), r.left + 35, AxisRow(r));
}

void DrawCurve(QPainter& p, const ClientRect& r, const GraphData& d, const GraphStyle& s) {
    if (d.points.empty()) return;
    const double xs = XScale(r, d.xRange);
    const double ys = YScale(r, d.yRange);
    p.setPen(QPen(s.curve, s.curveWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::white);
    auto pixelOf = [&](const GraphPoint& pt) {
        return Pixel{XToColumn(r, d.xRange, xs, pt.x), YToRow(r, d.yRange, ys, pt.y)};
    };
    Pixel prev = pixelOf(d.points.front());
    for (const GraphPoint& pt : d.points) {
        const Pixel cur = pixelOf(pt);
        const std::optional<Segment> seg = ClipSegment(Segment{prev, cur}, AxisRow(r), TopRow(r));
        prev = cur;
        if (!seg) continue;
        p.drawLine(At(seg->a), At(seg->b));
        for (const Pixel& end : {seg->a, seg->b})
            p.drawRect(Box(end.x - 1, end.y - 1, end.x + 3, end.y + 3));
    }
    p.setBrush(Qt::NoBrush);
}

void DrawXScaleAndLegend(QPainter& p, const ClientRect& r, const GraphData& d,
                         const GraphStyle& s) {
    p.setPen(QPen(s.axis, 1, Qt::SolidLine));
    const double scale = XScale(r, d.xRange);
    const bool hasSpan = d.xRange.right > d.xRange.left;
    if (scale > 0 && hasSpan) {
        const int code = StepCode(scale, false);
        const double step = code / 100.0;
        const char* format = code < 100 ? "%.1f" : "%.0f";
        const double first = FirstScaleValue(step, d.xRange.left);
        for (int n = 0; n < kMaxScaleLabels; ++n) {
            const double v = first + static_cast<double>(n) * step;
            const int col = XToColumn(r, d.xRange, scale, v);
            if (col > r.right - kRightMargin) break;
            p.drawText(Box(col - 20, r.bottom - 20, col + 20, r.bottom), kCentered,
                       QString::asprintf(format, v));
        }
    }

    const QFontMetrics fm(s.font, p.device());
    const int captionWidth = fm.horizontalAdvance(d.xCaption);
    const int captionRight = r.right - (d.xCaption.isEmpty() ? 0 : kEdgeGap);
    const int captionLeft = captionRight - captionWidth;
    p.drawText(Box(captionLeft, r.bottom - 40, captionRight, r.bottom), kCentered, d.xCaption);
    p.drawLine(r.left + kLeftMargin, AxisRow(r), captionLeft, AxisRow(r));

    // Legend: a short line in the curve's pen, then the text.
    const int textLeft = r.left + kLeftMargin + 50;
    const int textWidth = std::max(70, fm.horizontalAdvance(d.legend));
    p.drawText(Box(textLeft, r.top, textLeft + textWidth, r.top + 25), kLeftCentered, d.legend);
    p.setPen(QPen(s.curve, s.curveWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(r.left + kLeftMargin + 35, r.top + 12, r.left + kLeftMargin + 45, r.top + 12);
}

}  // namespace

void GraphData::Add(float x, float y) {
    points.push_back(GraphPoint{x, y});
    UpdateYRange(yRange, y);
    UpdateXRange(xRange, x, points.size() == 1);
}

QFont TextFont() {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(12);
    f.setWeight(QFont::Medium);  // 500
    return f;
}

void PaintGraph(QPainter& p, const QRect& rect, const GraphData& data, const GraphStyle& style) {
    const ClientRect r{rect.left(), rect.top(), rect.left() + rect.width(),
                       rect.top() + rect.height()};
    p.save();
    p.fillRect(Box(r.left, r.top, r.right, r.bottom), style.background);
    if (!TooSmall(r)) {
        p.setFont(style.font);
        p.setPen(style.axis);
        p.setBackgroundMode(Qt::TransparentMode);
        DrawYScale(p, r, data, style);
        DrawCurve(p, r, data, style);
        DrawXScaleAndLegend(p, r, data, style);
    }
    p.restore();
}

std::optional<GraphData> CharRecGraphData(const CharRecData& rec) {
    if (rec.valid != 1 || rec.ENABLE != 1) return std::nullopt;
    GraphData d;
    const int count = std::min<int>(rec.ACTIVE, CharRecData::kPoints);
    for (int i = 0; i < count; ++i)
        d.Add(static_cast<float>(rec.RH[i]), static_cast<float>(rec.VALUE[i]));
    d.legend = LegendText(FixedFieldToUnicode(rec.NAME, sizeof rec.NAME),
                          FixedFieldToUnicode(rec.CODE, sizeof rec.CODE));
    d.yCaption = QStringLiteral("Parametr");
    d.xCaption = QStringLiteral(" Wilgotność");
    return d;
}

}  // namespace graphpaint
