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

// A box given by its edges, right and bottom exclusive.
QRect Box(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

ClientRect ToClient(const QRect& r) {
    return ClientRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace

CGraph::CGraph(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFont(m_style.font);
    setAccessibleName(QStringLiteral("Wykres charakterystyki"));
}

CGraph::~CGraph() = default;

void CGraph::AddPoint(float x, float y) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_data.Add(x, y);
    }
    // A point added after the first painting must not stay invisible.
    m_dirty = true;
    PostQueued(this, [this] { update(); });
}

void CGraph::SetSeriesLabels(int index, const QString& legend, const QString& yCaption) {
    if (index != 0) return;
    m_data.legend = legend;
    m_data.yCaption = yCaption;
    setAccessibleDescription(legend);
    MarkDirty();
}

void CGraph::SetXAxisLabel(const QString& text) {
    m_data.xCaption = QLatin1Char(' ') + text;
    MarkDirty();
}

void CGraph::SetData(const graphpaint::GraphData& data) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_data = data;
    }
    setAccessibleDescription(data.legend);
    MarkDirty();
}

void CGraph::MarkDirty() {
    m_dirty = true;
    update();
}

int CGraph::PointCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<int>(m_data.points.size());
}

XRange CGraph::GetXRange() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_data.xRange;
}

YRange CGraph::GetYRange() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_data.yRange;
}

void CGraph::DrawPicture(QPainter& p, const QRect& r) {
    std::lock_guard<std::mutex> guard(m_lock);
    graphpaint::PaintGraph(p, r, m_data, m_style);
}

void CGraph::DrawCrosshair(QPainter& p) {
    const ClientRect r = ToClient(rect());
    if (TooSmall(r)) return;
    const int cx = m_cursor.x(), cy = m_cursor.y();
    const int plotLeft = r.left + kLeftMargin;
    const int axis = AxisRow(r);
    p.save();
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(m_style.background);
    p.setPen(QPen(m_style.curve, 1, Qt::DotLine));
    if (cx - kCrossGap > plotLeft) p.drawLine(cx - kCrossGap, cy, plotLeft, cy);
    p.drawLine(cx + kCrossGap, cy, r.right, cy);
    if (cy - kCrossGap > r.top) p.drawLine(cx, cy - kCrossGap, cx, r.top);
    // The lower arm ends at the axis and is left out when the gap reaches it.
    if (cy + kCrossGap < axis) p.drawLine(cx, cy + kCrossGap, cx, axis);

    p.setFont(m_style.font);
    p.setPen(m_style.axis);
    graphmath::XRange xr;
    graphmath::YRange yr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        xr = m_data.xRange;
        yr = m_data.yRange;
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
    CMemDC mem(target, rect(), m_style.background);
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
    const QString title =
        m_data.legend.isEmpty() ? QStringLiteral("Wykres charakterystyki") : m_data.legend;
    return WritePicture(out, format, size, title,
                        [this](QPainter& p, const QRect& area) { DrawPicture(p, area); });
}

bool CGraph::SaveImage(const QString& path, ImageFormat format) {
    QSize size = this->size();
    if (size.width() < 200 || size.height() < 150) size = QSize(640, 400);
    return SaveWritten(path, [&](QIODevice& out) { return WriteImage(out, format, size); });
}
