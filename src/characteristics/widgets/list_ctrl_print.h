#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <QVector>
#include <vector>

class QPaintDevice;
class QPagedPaintDevice;

// What a printed list consists of: the columns of a report-style list with
// their captions and widths (list pixels) and the rows with their texts and
// selection. Rows may hold fewer texts than there are columns.
struct ListPrintData {
    QStringList captions;
    QVector<int> widths;
    QVector<QStringList> rows;
    QVector<bool> selected;  // one flag per row; a missing flag is "not selected"

    int columnCount() const { return static_cast<int>(widths.size()); }
};

// Measures of a printout, all taken from the printer's resolution so that the
// paper shows the same sizes on every printer.
struct ListPrintMetrics {
    int dpiX = 0;
    int dpiY = 0;
    int pageWidth = 0;  // printable area, printer pixels
    int pageHeight = 0;
    int mx = 0;           // left margin: a third of an inch
    int my = 0;           // top margin
    int bodyPixels = 0;   // character height of the body font (2.3 mm)
    int titlePixels = 0;  // 2.2 times the body height, weight 500
    int lineHeight = 0;   // body font height plus external leading
    int separator = 0;    // distance of a column separator before the next column
};

ListPrintMetrics MeasureListPrint(QPaintDevice& device);
QFont ListBodyFont(const ListPrintMetrics& m);
QFont ListTitleFont(const ListPrintMetrics& m);

// Paper position of a column whose preceding printed columns are
// `listPixelsBefore` list pixels wide: one list pixel is 1/120 inch.
int ListColumnX(const ListPrintMetrics& m, long long listPixelsBefore);

// Columns printed together on one run of pages: first..last, inclusive.
struct ListColumnGroup {
    int first = 0;
    int last = -1;
    bool operator==(const ListColumnGroup& o) const { return first == o.first && last == o.last; }
};

// Splits the columns from `firstColumn` on into groups that fit between the
// margins. Every group holds at least one column, so a column wider than the
// page gets a group of its own and the split always ends.
std::vector<ListColumnGroup> SplitListColumns(const QVector<int>& widths, int firstColumn,
                                              const ListPrintMetrics& m);

// Prints the list on `device` (a printer or a PDF writer): per column group a
// page with the title, the header and a rule, then the rows, continued on
// further pages from the top margin. The document is named "VERTON".
void PrintList(QPagedPaintDevice& device, const ListPrintData& data, const QString& title,
               int firstColumn, bool selectionOnly);

// The visible columns and the rows of a report-style list.
ListPrintData ListPrintDataFromTree(const QTreeWidget* list);

// Runs the print dialog (through Prompts, offering the selection) and prints
// the list. False when the dialog was cancelled.
bool PrintListWidget(QWidget* parent, QTreeWidget* list, const QString& title, int firstColumn = 0);

// A report-style list that prints its own contents.
class CListCtrlPrint : public QTreeWidget {
    Q_OBJECT
public:
    using QTreeWidget::QTreeWidget;

    // Prints from `firstColumn` on (a negative value counts as 0).
    bool Print(const QString& title, int firstColumn = 0) {
        return PrintListWidget(this, this, title, firstColumn);
    }
};
