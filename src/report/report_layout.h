#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QPainter;
class QPaintDevice;
class QTextLayout;

// The report's page flow: blocks measured against the PDF device and placed
// top to bottom, a block that does not fit going to the next page, before
// anything is painted, so that every page can say how many there are. Lengths
// are device pixels; Mm() converts.
namespace reportlayout {

using Draw = std::function<void(QPainter&)>;

// Text laid out once against the device: measured for the flow, then drawn
// from the same lines. Wraps at word boundaries, and within a word (a path)
// longer than the width.
struct Laid {
    std::shared_ptr<QTextLayout> layout;
    double height = 0.0;
};
Laid Lay(QPaintDevice* device, const QFont& font, const QString& text, double width);
void DrawLaid(QPainter& p, const Laid& laid, const QPointF& at, QRgb color = 0x000000);

QFont Font(double points, int weight = QFont::Normal);

// The fonts of the report.
struct Fonts {
    QFont title = Font(16, QFont::Bold);
    QFont section = Font(12, QFont::Bold);
    QFont heading = Font(10, QFont::Bold);
    QFont body = Font(8.5);
    QFont label = Font(8.5, QFont::DemiBold);
    QFont small = Font(7.5);
};

constexpr QRgb kMuted = 0x606060;  // labels of unused points, rules
constexpr QRgb kRule = 0xB0B0B0;
constexpr QRgb kShade = 0xEEEEEE;  // table headers

// A table column: its caption and its share of the width.
struct Column {
    QString caption;
    double share = 1.0;
};

// One row of a table: a text per column; `muted` rows are grey.
struct Row {
    QStringList cells;
    bool muted = false;
};

class Flow {
public:
    // `area`: where blocks go on every page (the footer is below it).
    Flow(QPaintDevice* device, const QRectF& area);

    double Mm(double mm) const;
    double Left() const { return m_area.left(); }
    double Width() const { return m_area.width(); }
    double Y() const { return m_y; }
    QPaintDevice* Device() const { return m_device; }

    Laid Lay(const QFont& font, const QString& text, double width) const {
        return reportlayout::Lay(m_device, font, text, width);
    }

    // Starts a new page unless the current one is still empty.
    void NewPage();
    // Keeps `height` together: a new page first when it does not fit here.
    void Need(double height);
    // Adds a drawing at the current position, `height` high, and moves down.
    void Place(double height, const std::function<void(QPainter&, const QRectF&)>& draw);
    void Space(double height);

    // A paragraph of wrapped text.
    void Text(const QFont& font, const QString& text, QRgb color = 0x000000);
    // A section title with a rule under it, kept with `keepWith` more height.
    void Section(const QString& title, const QFont& font, double keepWith);
    // Label and value rows: the labels in a column of `labelWidth`.
    void Pairs(const std::vector<std::pair<QString, QString>>& rows, const Fonts& fonts,
               double labelWidth);
    // A table whose header repeats on every page it continues on.
    void Table(const std::vector<Column>& columns, const std::vector<Row>& rows,
               const Fonts& fonts);

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    // Paints every page's drawings; `footer(p, page, count)` on each. `next`
    // is called between two pages (the writer's newPage).
    void Paint(QPainter& p, const std::function<void(QPainter&, int, int)>& footer,
               const std::function<void()>& next) const;

private:
    QPaintDevice* m_device = nullptr;
    QRectF m_area;
    double m_y = 0.0;
    std::vector<std::vector<Draw>> m_pages;
};

}  // namespace reportlayout
