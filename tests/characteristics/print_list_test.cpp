#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "characteristics/widgets/list_ctrl_print.h"
#include "support/scripted_prompts.h"

namespace {

constexpr int kDpi = 600;
constexpr double kPt = 72.0 / kDpi;  // PDF points per printer pixel

QString RunTool(const QString& program, const QStringList& args) {
    QProcess proc;
    proc.start(program, args);
    if (!proc.waitForFinished(20000)) return {};
    return QString::fromUtf8(proc.readAllStandardOutput());
}

// One word of a printed page, in PDF points from the page's top-left corner.
struct Word {
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

// Words of every page, from pdftotext's bounding boxes.
std::vector<std::vector<Word>> PdfWords(const QString& pdf) {
    const QString html =
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    std::vector<std::vector<Word>> pages;
    static const QRegularExpression tag(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch mt = it.next();
        if (mt.captured(0).startsWith(QStringLiteral("<page"))) {
            pages.emplace_back();
            continue;
        }
        if (pages.empty()) continue;
        pages.back().push_back(Word{mt.captured(5), mt.captured(1).toDouble(),
                                    mt.captured(2).toDouble(), mt.captured(3).toDouble(),
                                    mt.captured(4).toDouble()});
    }
    return pages;
}

const Word* Find(const std::vector<Word>& page, const QString& text) {
    for (const Word& w : page)
        if (w.text == text) return &w;
    return nullptr;
}

// A PDF printer at 600 dpi whose printable area is the whole A4 page, so
// positions in the file are positions on the paper.
void SetUpPrinter(QPrinter& printer, const QString& file) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setResolution(kDpi);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

ListPrintData Materials(int rows) {
    ListPrintData d;
    d.captions = QStringList{QStringLiteral("Nr"), QStringLiteral("Kod"), QStringLiteral("Nazwa"),
                             QStringLiteral("Zakres")};
    d.widths = {40, 60, 120, 100};
    for (int i = 0; i < rows; ++i) {
        d.rows << QStringList{QString::number(i + 1), QStringLiteral("K%1").arg(i + 1),
                              QStringLiteral("Mat%1").arg(i + 1), QStringLiteral("8.0...26.0")};
        d.selected << false;
    }
    return d;
}

}  // namespace

TEST(ListPrint, MeasuresFromTheResolution) {
    QPrinter printer(QPrinter::HighResolution);
    QTemporaryDir dir;
    SetUpPrinter(printer, dir.filePath(QStringLiteral("m.pdf")));
    const ListPrintMetrics m = MeasureListPrint(printer);
    EXPECT_EQ(m.dpiX, 600);
    EXPECT_EQ(m.mx, 200);
    EXPECT_EQ(m.my, 200);
    EXPECT_EQ(m.bodyPixels, 54);
    EXPECT_EQ(m.titlePixels, 119);
    EXPECT_EQ(m.separator, 30);
    EXPECT_GE(m.lineHeight, 54);
    EXPECT_LE(m.lineHeight, 80);
    EXPECT_EQ(ListColumnX(m, 120), 200 + 600);  // 120 list pixels are one inch

    printer.setResolution(300);
    const ListPrintMetrics half = MeasureListPrint(printer);
    EXPECT_EQ(half.mx, 100);
    EXPECT_EQ(half.bodyPixels, 27);
    EXPECT_EQ(half.titlePixels, 59);  // trunc(-59.76), not rounded
}

TEST(ListPrint, ColumnGroupsAlwaysFitOrProgress) {
    ListPrintMetrics m;
    m.dpiX = 600;
    m.mx = 200;
    m.pageWidth = 4960;  // A4 at 600 dpi: 4560 pixels between the margins = 912 list pixels
    EXPECT_EQ(SplitListColumns({40, 60, 120, 100}, 0, m), (std::vector<ListColumnGroup>{{0, 3}}));
    EXPECT_EQ(SplitListColumns({40, 60, 120, 100}, 2, m), (std::vector<ListColumnGroup>{{2, 3}}));
    EXPECT_EQ(SplitListColumns({40, 60, 120, 100}, -3, m), (std::vector<ListColumnGroup>{{0, 3}}));
    EXPECT_EQ(SplitListColumns({500, 400, 100, 300}, 0, m),
              (std::vector<ListColumnGroup>{{0, 1}, {2, 3}}));
    // A column wider than the page is a group of its own; the split goes on.
    EXPECT_EQ(SplitListColumns({100, 2000, 100}, 0, m),
              (std::vector<ListColumnGroup>{{0, 0}, {1, 1}, {2, 2}}));
    EXPECT_TRUE(SplitListColumns({100}, 5, m).empty());
}

TEST(ListPrint, PageLayoutAtSixHundredDpi) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("list.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, file);
    const ListPrintMetrics m = MeasureListPrint(printer);
    PrintList(printer, Materials(3), QStringLiteral("Spis materiałów"), 0, false);
    if (qEnvironmentVariableIsSet("KV60X_GRAB_DIR"))  // to look at by eye
        QFile::copy(file,
                    qEnvironmentVariable("KV60X_GRAB_DIR") + QStringLiteral("/print_list.pdf"));

    EXPECT_TRUE(RunTool(QStringLiteral("pdfinfo"), {file})
                    .contains(QRegularExpression(QStringLiteral("Title:\\s+VERTON"))));
    const auto pages = PdfWords(file);
    ASSERT_EQ(pages.size(), 1u);
    const auto& page = pages[0];
    const Word* title = Find(page, QStringLiteral("Spis"));
    const Word* nr = Find(page, QStringLiteral("Nr"));
    const Word* kod = Find(page, QStringLiteral("Kod"));
    const Word* row1 = Find(page, QStringLiteral("Mat1"));
    const Word* row3 = Find(page, QStringLiteral("Mat3"));
    ASSERT_TRUE(title && nr && kod && row1 && row3);
    // Margins: a third of an inch (24 pt) from the paper's edges.
    EXPECT_NEAR(title->xMin, 24.0, 1.5);
    EXPECT_NEAR(title->yMin, 24.0, 3.0);
    EXPECT_NEAR(nr->xMin, 24.0, 1.5);
    // Columns: 40 list pixels are a third of an inch.
    EXPECT_NEAR(kod->xMin, (200 + 40 * 5) * kPt, 1.5);
    EXPECT_NEAR(row1->xMin, (200 + 100 * 5) * kPt, 1.5);
    // Lines: header on line 3, rows from line 5.
    EXPECT_NEAR(nr->yMin, (200 + 3 * m.lineHeight) * kPt, 3.0);
    EXPECT_NEAR(row1->yMin, (200 + 5 * m.lineHeight) * kPt, 3.0);
    EXPECT_NEAR(row3->yMin - row1->yMin, 2 * m.lineHeight * kPt, 0.5);
    // Font heights: title 2.2 times the body.
    const double ratio = (title->yMax - title->yMin) / (nr->yMax - nr->yMin);
    EXPECT_NEAR(ratio, 119.0 / 54.0, 0.1);
}

TEST(ListPrint, LongListContinuesAtTopMarginOfSecondPage) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("long.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, file);
    const ListPrintMetrics m = MeasureListPrint(printer);
    const int perFirstPage = (m.pageHeight - 2 * m.my) / m.lineHeight - 5;
    const int rows = perFirstPage + 10;
    PrintList(printer, Materials(rows), QStringLiteral("Tytuł"), 0, false);

    const auto pages = PdfWords(file);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_TRUE(Find(pages[0], QStringLiteral("Tytuł")));
    EXPECT_FALSE(Find(pages[1], QStringLiteral("Tytuł")));
    EXPECT_FALSE(Find(pages[1], QStringLiteral("Nazwa")));
    // Every row once, in order; the second page starts at the top margin.
    const Word* lastOnFirst = Find(pages[0], QStringLiteral("Mat%1").arg(perFirstPage));
    const Word* firstOnSecond = Find(pages[1], QStringLiteral("Mat%1").arg(perFirstPage + 1));
    ASSERT_TRUE(lastOnFirst && firstOnSecond);
    EXPECT_FALSE(Find(pages[0], QStringLiteral("Mat%1").arg(perFirstPage + 1)));
    EXPECT_NEAR(firstOnSecond->yMin, 24.0, 3.0);
    EXPECT_TRUE(Find(pages[1], QStringLiteral("Mat%1").arg(rows)));
    // The last row of the first page stays above the bottom margin.
    EXPECT_LE(lastOnFirst->yMax, (m.pageHeight - m.my) * kPt);
}

TEST(ListPrint, SelectionOnlyThroughPrintDialog) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sel.pdf"));
    CListCtrlPrint list;
    list.setHeaderLabels({QStringLiteral("Nr"), QStringLiteral("Nazwa")});
    list.setColumnWidth(0, 40);
    list.setColumnWidth(1, 120);
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const char* name : {"Pszenica", "Kukurydza", "Rzepak"}) {
        auto* item = new QTreeWidgetItem(
            &list, {QString::number(list.topLevelItemCount() + 1), QString::fromUtf8(name)});
        item->setSelected(QByteArray(name) == "Kukurydza");
    }
    ScopedPrompts prompts;
    ScriptedPrompts::PrintAnswer answer;
    answer.accept = true;
    answer.selectionOnly = true;
    answer.configure = [&](QPrinter& p) { SetUpPrinter(p, file); };
    prompts->printAnswers.push_back(answer);
    EXPECT_TRUE(list.Print(QStringLiteral("Spis materiałów")));
    ASSERT_EQ(prompts->printRequests.size(), 1u);
    EXPECT_TRUE(prompts->printRequests[0].allowSelection);

    const QString text = RunTool(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-layout"), file, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("Spis materiałów")));
    EXPECT_TRUE(text.contains(QStringLiteral("Nazwa")));
    EXPECT_TRUE(text.contains(QStringLiteral("Kukurydza")));
    EXPECT_FALSE(text.contains(QStringLiteral("Pszenica")));
    EXPECT_FALSE(text.contains(QStringLiteral("Rzepak")));

    // Cancelling prints nothing.
    QFile::remove(file);
    EXPECT_FALSE(list.Print(QStringLiteral("x")));
    EXPECT_FALSE(QFile::exists(file));
}

TEST(ListPrint, EmptyListHasTitleHeaderAndRuleOnOnePage) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("empty.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, file);
    const ListPrintMetrics m = MeasureListPrint(printer);
    ListPrintData data = Materials(0);
    PrintList(printer, data, QStringLiteral("Pusty"), 0, false);
    const auto pages = PdfWords(file);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(Find(pages[0], QStringLiteral("Pusty")));
    EXPECT_TRUE(Find(pages[0], QStringLiteral("Zakres")));

    // Render at 100 dpi and look for the rule and the separators.
    const QString prefix = dir.filePath(QStringLiteral("empty"));
    RunTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
             QStringLiteral("-singlefile"), file, prefix});
    QImage img(prefix + QStringLiteral(".png"));
    ASSERT_FALSE(img.isNull());
    const double scale = 100.0 / kDpi;
    auto dark = [&](int x, int y) { return qGray(img.pixel(x, y)) < 160; };
    // The rule runs from the left margin to the end of the last column.
    const int ruleRow = static_cast<int>((200 + 4.5 * m.lineHeight) * scale);
    const int ruleEnd = static_cast<int>(ListColumnX(m, 320) * scale);
    int bestRun = 0;
    for (int y = ruleRow - 2; y <= ruleRow + 2; ++y) {
        int run = 0;
        for (int x = static_cast<int>(200 * scale) + 1; x < ruleEnd - 1; ++x)
            run += dark(x, y) ? 1 : 0;
        bestRun = std::max(bestRun, run);
    }
    EXPECT_GE(bestRun, ruleEnd - static_cast<int>(200 * scale) - 4);
    // Separators in the header band before columns 1..3, none after the last.
    const int bandTop = static_cast<int>((200 + 3 * m.lineHeight) * scale) + 1;
    auto darkColumn = [&](int px) {
        int n = 0;
        for (int x = static_cast<int>(px * scale) - 1; x <= static_cast<int>(px * scale) + 1; ++x)
            for (int y = bandTop; y < bandTop + 5; ++y) n += dark(x, y) ? 1 : 0;
        return n > 0;
    };
    EXPECT_TRUE(darkColumn(ListColumnX(m, 40) - m.separator));
    EXPECT_TRUE(darkColumn(ListColumnX(m, 220) - m.separator));
    EXPECT_FALSE(darkColumn(ListColumnX(m, 320) - m.separator));
    img.save(qEnvironmentVariable("KV60X_GRAB_DIR", dir.path()) +
             QStringLiteral("/print_empty.png"));
}

TEST(ListPrint, WideListPrintsOneRunOfPagesPerColumnGroup) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("wide.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, file);
    ListPrintData d;
    d.captions = QStringList{QStringLiteral("Nr"), QStringLiteral("Opis"), QStringLiteral("Uwagi")};
    d.widths = {40, 700, 2000};
    d.rows << QStringList{QStringLiteral("1"), QStringLiteral("Pierwszy"),
                          QStringLiteral("Koniec")};
    PrintList(printer, d, QStringLiteral("Szeroki"), 0, false);
    const auto pages = PdfWords(file);
    ASSERT_EQ(pages.size(), 2u);
    for (const auto& page : pages) EXPECT_TRUE(Find(page, QStringLiteral("Szeroki")));
    EXPECT_TRUE(Find(pages[0], QStringLiteral("Pierwszy")));
    EXPECT_FALSE(Find(pages[0], QStringLiteral("Koniec")));
    const Word* last = Find(pages[1], QStringLiteral("Koniec"));
    ASSERT_TRUE(last);
    EXPECT_NEAR(last->xMin, 24.0, 1.5);  // the group starts at the left margin
}
