#include "characteristics/widgets/list_ctrl_print.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

#include "ui/prompts.h"

namespace {

const QString kDocumentName = QStringLiteral("VERTON");

QFont ArialFont(int pixels, int weight) {
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, pixels));
    f.setWeight(QFont::Weight(weight));
    return f;
}

// Writes `text` with its top-left corner at (x, y), like the platform's text
// output; texts are not clipped and may run under the next column.
void TextAt(QPainter& p, int x, int y, const QString& text) {
    p.drawText(QPoint(x, y + p.fontMetrics().ascent()), text);
}

}  // namespace

ListPrintMetrics MeasureListPrint(QPaintDevice& device) {
    ListPrintMetrics m;
    m.dpiX = device.logicalDpiX();
    m.dpiY = device.logicalDpiY();
    m.pageWidth = device.width();
    m.pageHeight = device.height();
    m.mx = m.dpiX / 3;
    m.my = m.dpiY / 3;
    m.bodyPixels = static_cast<int>(std::trunc(m.dpiY * 2.3 / 25.4));
    m.titlePixels = -static_cast<int>(std::trunc(-m.dpiY * 2.3 / 25.4 * 2.2));
    const QFontMetrics fm(ListBodyFont(m), &device);
    m.lineHeight = std::max(1, fm.height() + std::max(0, fm.leading()));
    m.separator = m.dpiX / 20;
    return m;
}

QFont ListBodyFont(const ListPrintMetrics& m) {
    return ArialFont(m.bodyPixels, 400);
}

QFont ListTitleFont(const ListPrintMetrics& m) {
    return ArialFont(m.titlePixels, 500);
}

int ListColumnX(const ListPrintMetrics& m, long long listPixelsBefore) {
    return m.mx + static_cast<int>(listPixelsBefore * m.dpiX / 120);
}

std::vector<ListColumnGroup> SplitListColumns(const QVector<int>& widths, int firstColumn,
                                              const ListPrintMetrics& m) {
    std::vector<ListColumnGroup> groups;
    const int n = static_cast<int>(widths.size());
    const long long room = std::max(1, m.pageWidth - 2 * m.mx);
    int i = std::max(0, firstColumn);
    while (i < n) {
        long long sum = std::max(0, widths[i]);
        int j = i + 1;
        while (j < n) {
            const long long next = sum + std::max(0, widths[j]);
            if (next * m.dpiX / 120 > room) break;
            sum = next;
            ++j;
        }
        groups.push_back(ListColumnGroup{i, j - 1});
        i = j;
    }
    return groups;
}

void PrintList(QPagedPaintDevice& device, const ListPrintData& data, const QString& title,
               int firstColumn, bool selectionOnly) {
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setDocName(kDocumentName);
    else if (auto* pdf = dynamic_cast<QPdfWriter*>(&device))
        pdf->setTitle(kDocumentName);

    const ListPrintMetrics m = MeasureListPrint(device);
    const QFont bodyFont = ListBodyFont(m);
    const QFont titleFont = ListTitleFont(m);
    const int lastColumn = data.columnCount() - 1;

    std::vector<ListColumnGroup> groups = SplitListColumns(data.widths, firstColumn, m);
    // A list without printable columns still gets its title page.
    if (groups.empty())
        groups.push_back(ListColumnGroup{std::max(0, firstColumn), std::max(0, firstColumn) - 1});

    std::vector<int> rows;
    for (int r = 0; r < data.rows.size(); ++r)
        if (!selectionOnly || (r < data.selected.size() && data.selected[r])) rows.push_back(r);

    QPainter p;
    if (!p.begin(&device)) return;
    p.setPen(QPen(Qt::black, std::max(1, m.dpiX / 300)));
    bool firstPage = true;
    for (const ListColumnGroup& g : groups) {
        if (!firstPage) device.newPage();
        firstPage = false;

        // Column positions of the group, and each column's next position.
        std::vector<int> x;
        long long before = 0;
        for (int c = g.first; c <= g.last + 1; ++c) {
            x.push_back(ListColumnX(m, before));
            if (c <= g.last) before += std::max(0, data.widths[c]);
        }
        auto separators = [&](int top, int bottom) {
            for (int c = g.first; c <= g.last; ++c) {
                if (c == lastColumn) continue;
                const int sx = x[c - g.first + 1] - m.separator;
                p.drawLine(sx, top, sx, bottom);
            }
        };

        p.setFont(titleFont);
        TextAt(p, m.mx, m.my, title);
        p.setFont(bodyFont);
        const int lh = m.lineHeight;

        for (int c = g.first; c <= g.last; ++c)
            TextAt(p, x[c - g.first], m.my + 3 * lh,
                   c < data.captions.size() ? data.captions[c] : QString());
        separators(m.my + 3 * lh, m.my + 5 * lh);
        const int ruleY = m.my + static_cast<int>(std::trunc(4.5 * lh));
        p.drawLine(m.mx, ruleY, x.back(), ruleY);

        int k = 5;
        int o = 0;
        for (int r : rows) {
            if (m.pageHeight - m.my < m.my + (k - o + 1) * lh) {
                device.newPage();
                o = k;
            }
            const int y = m.my + (k - o) * lh;
            const QStringList& texts = data.rows[r];
            for (int c = g.first; c <= g.last; ++c)
                if (c < texts.size()) TextAt(p, x[c - g.first], y, texts[c]);
            separators(y, y + lh);
            ++k;
        }
    }
    p.end();
}

ListPrintData ListPrintDataFromTree(const QTreeWidget* list) {
    ListPrintData data;
    if (!list) return data;
    const QTreeWidgetItem* header = list->headerItem();
    std::vector<int> columns;
    for (int c = 0; c < list->columnCount(); ++c) {
        if (list->isColumnHidden(c)) continue;
        columns.push_back(c);
        data.captions << (header ? header->text(c) : QString());
        data.widths << list->columnWidth(c);
    }
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        QStringList texts;
        for (int c : columns) texts << item->text(c);
        data.rows << texts;
        data.selected << item->isSelected();
    }
    return data;
}

bool PrintListWidget(QWidget* parent, QTreeWidget* list, const QString& title, int firstColumn) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(kDocumentName);
    printer.setFromTo(1, 1);
    bool selectionOnly = false;
    if (!Prompts::instance().print(parent, printer, true, selectionOnly)) return false;
    PrintList(printer, ListPrintDataFromTree(list), title, firstColumn, selectionOnly);
    return true;
}
