#include "report/report_layout.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <memory>

namespace reportlayout {

Laid Lay(QPaintDevice* device, const QFont& font, const QString& text, double width) {
    Laid out;
    out.layout = std::make_shared<QTextLayout>(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    out.layout->setTextOption(option);
    const double leading = QFontMetricsF(font, device).leading();
    double y = 0.0;
    out.layout->beginLayout();
    for (;;) {
        QTextLine line = out.layout->createLine();
        if (!line.isValid()) break;
        line.setLineWidth(std::max(1.0, width));
        line.setPosition(QPointF(0.0, y));
        y += line.height() + std::max(0.0, leading);
    }
    out.layout->endLayout();
    out.height = std::max(y, QFontMetricsF(font, device).height());
    return out;
}

void DrawLaid(QPainter& p, const Laid& laid, const QPointF& at, QRgb color) {
    p.setPen(QColor::fromRgb(color));
    laid.layout->draw(&p, at);
}

QFont Font(double points, int weight) {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setWeight(QFont::Weight(weight));
    return f;
}

Flow::Flow(QPaintDevice* device, const QRectF& area)
    : m_device(device), m_area(area), m_y(area.top()), m_pages(1) {}

double Flow::Mm(double mm) const {
    return mm * m_device->logicalDpiY() / 25.4;
}

void Flow::NewPage() {
    if (m_pages.back().empty()) return;
    m_pages.emplace_back();
    m_y = m_area.top();
}

void Flow::Need(double height) {
    if (m_y + height > m_area.bottom()) NewPage();
}

void Flow::Place(double height, const std::function<void(QPainter&, const QRectF&)>& draw) {
    const QRectF r(m_area.left(), m_y, m_area.width(), height);
    m_pages.back().push_back([draw, r](QPainter& p) { draw(p, r); });
    m_y += height;
}

void Flow::Space(double height) {
    m_y += height;
}

void Flow::Text(const QFont& font, const QString& text, QRgb color) {
    const Laid laid = reportlayout::Lay(m_device, font, text, m_area.width());
    Need(laid.height);
    Place(laid.height,
          [laid, color](QPainter& p, const QRectF& r) { DrawLaid(p, laid, r.topLeft(), color); });
}

void Flow::Section(const QString& title, const QFont& font, double keepWith) {
    const Laid laid = reportlayout::Lay(m_device, font, title, m_area.width());
    const double gap = Mm(1.2);
    const double height = laid.height + gap + Mm(1.5);
    Need(height + keepWith);
    Place(height, [laid, gap](QPainter& p, const QRectF& r) {
        DrawLaid(p, laid, r.topLeft(), 0x000000);
        const double y = r.top() + laid.height + gap * 0.5;
        p.setPen(QPen(QColor::fromRgb(kRule), 0));
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    });
}

void Flow::Pairs(const std::vector<std::pair<QString, QString>>& rows, const Fonts& fonts,
                 double labelWidth) {
    const double valueWidth = m_area.width() - labelWidth;
    for (const auto& [label, value] : rows) {
        const Laid l = reportlayout::Lay(m_device, fonts.label, label, labelWidth - Mm(2));
        const Laid v = reportlayout::Lay(m_device, fonts.body, value, valueWidth);
        const double height = std::max(l.height, v.height) + Mm(0.4);
        Need(height);
        Place(height, [l, v, labelWidth](QPainter& p, const QRectF& r) {
            DrawLaid(p, l, r.topLeft(), 0x000000);
            DrawLaid(p, v, QPointF(r.left() + labelWidth, r.top()), 0x000000);
        });
    }
}

void Flow::Table(const std::vector<Column>& columns, const std::vector<Row>& rows,
                 const Fonts& fonts) {
    double shares = 0.0;
    for (const Column& c : columns) shares += c.share;
    const double pad = Mm(0.8);
    std::vector<double> x;  // left edge of each column, then the right edge
    double at = m_area.left();
    for (const Column& c : columns) {
        x.push_back(at);
        at += m_area.width() * c.share / shares;
    }
    x.push_back(m_area.right());

    // One line of cells (header or row), laid out in their columns.
    auto layCells = [&](const QStringList& cells, const QFont& font, double* height) {
        std::vector<Laid> laid;
        *height = 0.0;
        for (size_t i = 0; i < columns.size(); ++i) {
            const QString text = static_cast<int>(i) < cells.size() ? cells[int(i)] : QString();
            laid.push_back(reportlayout::Lay(m_device, font, text, x[i + 1] - x[i] - 2 * pad));
            *height = std::max(*height, laid.back().height);
        }
        *height += 2 * pad;
        return laid;
    };
    QStringList captions;
    for (const Column& c : columns) captions << c.caption;
    double headerHeight = 0.0;
    const std::vector<Laid> header = layCells(captions, fonts.label, &headerHeight);
    auto placeHeader = [&] {
        Place(headerHeight, [header, x, pad](QPainter& p, const QRectF& r) {
            p.fillRect(QRectF(x.front(), r.top(), x.back() - x.front(), r.height()),
                       QColor::fromRgb(kShade));
            for (size_t i = 0; i < header.size(); ++i)
                DrawLaid(p, header[i], QPointF(x[i] + pad, r.top() + pad), 0x000000);
        });
    };

    bool first = true;
    for (const Row& row : rows) {
        double height = 0.0;
        const std::vector<Laid> cells = layCells(row.cells, fonts.body, &height);
        // The header never stands alone at the foot of a page.
        const double need = height + (first ? headerHeight : 0.0);
        const int pageBefore = PageCount();
        Need(need);
        if (first || PageCount() != pageBefore) placeHeader();
        first = false;
        const QRgb color = row.muted ? kMuted : 0x000000;
        Place(height, [cells, x, pad, color](QPainter& p, const QRectF& r) {
            for (size_t i = 0; i < cells.size(); ++i)
                DrawLaid(p, cells[i], QPointF(x[i] + pad, r.top() + pad), color);
            p.setPen(QPen(QColor::fromRgb(kRule), 0));
            p.drawLine(QPointF(x.front(), r.bottom()), QPointF(x.back(), r.bottom()));
        });
    }
    if (first) placeHeader();  // a table without rows still shows its columns
}

void Flow::Paint(QPainter& p, const std::function<void(QPainter&, int, int)>& footer,
                 const std::function<void()>& next) const {
    const int count = PageCount();
    for (int i = 0; i < count; ++i) {
        if (i > 0) next();
        for (const Draw& d : m_pages[size_t(i)]) d(p);
        footer(p, i + 1, count);
    }
}

}  // namespace reportlayout
