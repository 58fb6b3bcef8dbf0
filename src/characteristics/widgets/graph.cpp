#include "characteristics/widgets/graph.h"

#include "ui/picture_export.h"

#include <QFontMetrics>
#include <QImage>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "ui/mem_dc.h"
#include "ui/queued_call.h"

using namespace graphmath;

namespace {

constexpr int kCentered =
    Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
constexpr int kLeftCentered =
    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
// Captions keep this distance from the control's edges so no glyph is cut.
constexpr int kEdgeGap = 2;

// A box given by its edges, right and bottom exclusive.
QRect Box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

ClientRect ToClient(const QRect& r) {
    return ClientRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

QPoint At(const Pixel& px) {
    return QPoint(px.x, px.y);
}

// Resolution of the saved PDF: one graph pixel is one 1/96 inch.

}  // namespace

CGraph::CGraph(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFont(m_font);
    setAccessibleName(QStringLiteral("Wykres charakterystyki"));
}

CGraph::~CGraph() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_points.clear();
}

QFont CGraph::TextFont() {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(12);
    f.setWeight(QFont::Medium);  // 500
    return f;
}

void CGraph::AddPoint(float x, float y) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto rec = std::make_unique<CGraphRecord>();
        rec->x = x;
        rec->y = y;
        m_points.push_back(std::move(rec));
        UpdateYRange(m_yRange, y);
        UpdateXRange(m_xRange, x, m_points.size() == 1);
    }
    // A point added after the first painting must not stay invisible.
    m_dirty = true;
    PostQueued(this, [this] { update(); });
}

void CGraph::SetSeriesLabels(int index, const QString& legend, const QString& yCaption) {
    if (index != 0) return;
    m_legend = legend;
    m_yCaption = yCaption;
    setAccessibleDescription(legend);
    MarkDirty();
}

void CGraph::SetXAxisLabel(const QString& text) {
    m_xCaption = QLatin1Char(' ') + text;
    MarkDirty();
}

void CGraph::MarkDirty() {
    m_dirty = true;
    update();
}

int CGraph::PointCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<int>(m_points.size());
}

XRange CGraph::GetXRange() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_xRange;
}

YRange CGraph::GetYRange() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_yRange;
}

void CGraph::DrawPicture(QPainter& p, const QRect& r) {
    std::lock_guard<std::mutex> guard(m_lock);
    DrawAll(p, ToClient(r));
}

void CGraph::DrawAll(QPainter& p, const ClientRect& r) {
    p.save();
    p.fillRect(Box(r.left, r.top, r.right, r.bottom), m_backgroundColor);
    if (!TooSmall(r)) {
        p.setFont(m_font);
        p.setPen(m_axisColor);
        p.setBackgroundMode(Qt::TransparentMode);
        DrawYScale(p, r);
        DrawCurve(p, r);
        DrawXScaleAndLegend(p, r);
    }
    p.restore();
}

void CGraph::DrawYScale(QPainter& p, const ClientRect& r) {
    const QPen axisPen(m_axisColor, 1, Qt::SolidLine);
    p.setPen(axisPen);
    // Centred over the scale column; a caption wider than the column starts
    // at the control's edge instead of being cut off by it.
    const int captionWidth = QFontMetrics(m_font, p.device()).horizontalAdvance(m_yCaption);
    if (captionWidth <= 45 - 2 * kEdgeGap)
        p.drawText(Box(r.left, r.top, r.left + 45, r.top + 25), kCentered, m_yCaption);
    else
        p.drawText(Box(r.left + kEdgeGap, r.top, r.left + kEdgeGap + captionWidth, r.top + 25),
                   kLeftCentered, m_yCaption);

    const double scale = YScale(r, m_yRange);
    const bool hasSpan = m_yRange.upper > m_yRange.lower;
    if (scale > 0 && hasSpan) {
        const int step = YStep(scale);
        const double first = FirstScaleValue(step, m_yRange.lower);
        for (int n = 0; n < kMaxScaleLabels; ++n) {
            const double v = first + static_cast<double>(n) * step;
            const int row = YToRow(r, m_yRange, scale, v);
            if (row < TopRow(r)) break;
            p.drawText(Box(r.left + 10, row - 7, r.left + 35, row + 7), kCentered,
                       QString::asprintf("%.0f", v));
        }
    }
    p.drawLine(r.left + 10, TopRow(r), r.left + 10, AxisRow(r));
    p.drawLine(r.left + 35, TopRow(r), r.left + 35, AxisRow(r));
}

void CGraph::DrawCurve(QPainter& p, const ClientRect& r) {
    if (m_points.empty()) return;
    const double xs = XScale(r, m_xRange);
    const double ys = YScale(r, m_yRange);
    const QPen curvePen(m_curveColor, m_curveWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    p.setPen(curvePen);
    p.setBrush(Qt::white);
    auto pixelOf = [&](const CGraphRecord& rec) {
        return Pixel{XToColumn(r, m_xRange, xs, rec.x), YToRow(r, m_yRange, ys, rec.y)};
    };
    Pixel prev = pixelOf(*m_points.front());
    for (const auto& rec : m_points) {
        const Pixel cur = pixelOf(*rec);
        const std::optional<Segment> s = ClipSegment(Segment{prev, cur}, AxisRow(r), TopRow(r));
        prev = cur;
        if (!s) continue;
        p.drawLine(At(s->a), At(s->b));
        for (const Pixel& end : {s->a, s->b})
            p.drawRect(Box(end.x - 1, end.y - 1, end.x + 3, end.y + 3));
    }
    p.setBrush(Qt::NoBrush);
}

void CGraph::DrawXScaleAndLegend(QPainter& p, const ClientRect& r) {
    const QPen axisPen(m_axisColor, 1, Qt::SolidLine);
    p.setPen(axisPen);
    const double scale = XScale(r, m_xRange);
    const bool hasSpan = m_xRange.right > m_xRange.left;
    if (scale > 0 && hasSpan) {
        const int code = StepCode(scale, false);
        const double step = code / 100.0;
        const char* format = code < 100 ? "%.1f" : "%.0f";
        const double first = FirstScaleValue(step, m_xRange.left);
        for (int n = 0; n < kMaxScaleLabels; ++n) {
            const double v = first + static_cast<double>(n) * step;
            const int col = XToColumn(r, m_xRange, scale, v);
            if (col > r.right - kRightMargin) break;
            p.drawText(Box(col - 20, r.bottom - 20, col + 20, r.bottom), kCentered,
                       QString::asprintf(format, v));
        }
    }

    const QFontMetrics fm(m_font, p.device());
    const int captionWidth = fm.horizontalAdvance(m_xCaption);
    const int captionRight = r.right - (m_xCaption.isEmpty() ? 0 : kEdgeGap);
    const int captionLeft = captionRight - captionWidth;
    p.drawText(Box(captionLeft, r.bottom - 40, captionRight, r.bottom), kCentered, m_xCaption);
    p.drawLine(r.left + kLeftMargin, AxisRow(r), captionLeft, AxisRow(r));

    // Legend: a short line in the curve's pen, then the text.
    const int textLeft = r.left + kLeftMargin + 50;
    const int textWidth = std::max(70, fm.horizontalAdvance(m_legend));
    p.drawText(Box(textLeft, r.top, textLeft + textWidth, r.top + 25), kLeftCentered, m_legend);
    p.setPen(QPen(m_curveColor, m_curveWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(r.left + kLeftMargin + 35, r.top + 12, r.left + kLeftMargin + 45, r.top + 12);
}

void CGraph::DrawCrosshair(QPainter& p) {
    const ClientRect r = ToClient(rect());
    if (TooSmall(r)) return;
    const int cx = m_cursor.x(), cy = m_cursor.y();
    const int plotLeft = r.left + kLeftMargin;
    const int axis = AxisRow(r);
    p.save();
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(m_backgroundColor);
    p.setPen(QPen(m_curveColor, 1, Qt::DotLine));
    if (cx - kCrossGap > plotLeft) p.drawLine(cx - kCrossGap, cy, plotLeft, cy);
    p.drawLine(cx + kCrossGap, cy, r.right, cy);
    if (cy - kCrossGap > r.top) p.drawLine(cx, cy - kCrossGap, cx, r.top);
    // The lower arm ends at the axis and is left out when the gap reaches it.
    if (cy + kCrossGap < axis) p.drawLine(cx, cy + kCrossGap, cx, axis);

    p.setFont(m_font);
    p.setPen(m_axisColor);
    graphmath::XRange xr;
    graphmath::YRange yr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        xr = m_xRange;
        yr = m_yRange;
    }
    if (const std::optional<double> y = ReadOutY(r, yr, cy))
        p.drawText(Box(r.left, cy - 10, r.left + 45, cy + 10), kCentered,
                   QString::asprintf("%.1f", *y));
    if (const std::optional<double> x = ReadOutX(r, xr, cx))
        p.drawText(Box(cx - 20, r.bottom - 20, cx + 20, r.bottom), kCentered,
                   QString::asprintf("  %.1f  ", *x));
    p.restore();
}

void CGraph::paintEvent(QPaintEvent*) {
    QPainter target(this);
    CMemDC mem(target, rect(), m_backgroundColor);
    QPainter& p = mem.painter();
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = size() * dpr;
    if (m_dirty || m_cache.isNull() || m_cache.size() != pixels) {
        m_dirty = false;
        QPixmap picture(pixels);
        picture.setDevicePixelRatio(dpr);
        {
            QPainter cp(&picture);
            DrawPicture(cp, rect());
        }
        m_cache = picture;
        ++m_fullRedraws;
    }
    p.drawPixmap(0, 0, m_cache);
    if (m_crosshairOn) DrawCrosshair(p);
}

void CGraph::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    MarkDirty();
}

void CGraph::mouseMoveEvent(QMouseEvent* event) {
    m_cursor = event->position().toPoint();
    m_crosshairOn = rect().contains(m_cursor);
    update();  // the cached picture is reused
    QWidget::mouseMoveEvent(event);
}

void CGraph::leaveEvent(QEvent* event) {
    m_crosshairOn = false;
    update();
    QWidget::leaveEvent(event);
}

bool CGraph::WriteImage(QIODevice& out, ImageFormat format, QSize size) {
    const QString title = m_legend.isEmpty() ? QStringLiteral("Wykres charakterystyki") : m_legend;
    return WritePicture(out, format, size, title,
                        [this](QPainter& p, const QRect& area) { DrawPicture(p, area); });
}

bool CGraph::SaveImage(const QString& path, ImageFormat format) {
    QSize size = this->size();
    if (size.width() < 200 || size.height() < 150) size = QSize(640, 400);
    return SaveWritten(path, [&](QIODevice& out) { return WriteImage(out, format, size); });
}
