#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <atomic>
#include <string>
#include <thread>

#include "characteristics/widgets/char_rec_graph_dlg.h"
#include "characteristics/widgets/graph.h"
#include "support/sample_records.h"
#include "support/scripted_prompts.h"
#include "ui/grab_util.h"

using testsupport::CountColor;
using testsupport::Grab;
using testsupport::SampleRecord;

namespace {

const QColor kCurve = QColor::fromRgb(CGraph::kCurveColor);
const QColor kWhite = Qt::white;
const QColor kBlack = Qt::black;

void MoveMouse(QWidget* w, QPoint pos) {
    QMouseEvent ev(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

// Columns that hold a pixel of the colour anywhere between rows top and bottom.
std::pair<int, int> ColumnSpan(const QImage& img, const QColor& c, int top, int bottom) {
    int first = -1, last = -1;
    for (int x = 0; x < img.width(); ++x)
        for (int y = top; y <= bottom; ++y)
            if (img.pixelColor(x, y).rgb() == c.rgb()) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

// A text pixel: white or its anti-aliased grey on the black background, not
// the curve colour.
bool IsInk(QRgb c) {
    return qGray(c) >= 40 && c != kCurve.rgb();
}

// Bounding box of the text pixels inside `area`; empty when there are none.
QRect InkBox(const QImage& img, const QRect& area) {
    QRect box;
    const QRect a = area.intersected(img.rect());
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x)
            if (IsInk(img.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

// Where drawText(cell, h | AlignVCenter, text) puts the glyphs of one line in
// the graph's font: the font's own tight box of the text, placed on the
// aligned baseline. Measured with the font, so it holds for whichever face
// the system substitutes.
QRect GlyphBox(const QRect& cell, Qt::Alignment h, const QString& text) {
    const QFontMetricsF fm(CGraph::TextFont());
    qreal x = cell.left();
    if (h & Qt::AlignHCenter) x += (cell.width() - fm.horizontalAdvance(text)) / 2;
    const qreal baseline = cell.top() + (cell.height() - fm.height()) / 2 + fm.ascent();
    return fm.tightBoundingRect(text).translated(x, baseline).toAlignedRect();
}

// The text pixels near `want` (3 pixels around it, kept inside `limits`)
// cover the glyph box `want` up to 2 pixels on each edge: the text is drawn,
// whole and in place.
testing::AssertionResult InkAt(const QImage& img, QRect want, const QRect& limits) {
    const QRect found = InkBox(img, want.adjusted(-3, -3, 3, 3) & limits);
    want &= limits;
    const bool close = !found.isEmpty() && std::abs(found.left() - want.left()) <= 2 &&
                       std::abs(found.right() - want.right()) <= 2 &&
                       std::abs(found.top() - want.top()) <= 2 &&
                       std::abs(found.bottom() - want.bottom()) <= 2;
    if (close) return testing::AssertionSuccess();
    auto text = [](const QRect& b) {
        return std::to_string(b.x()) + "," + std::to_string(b.y()) + " " +
               std::to_string(b.width()) + "x" + std::to_string(b.height());
    };
    return testing::AssertionFailure()
           << "text pixels " << text(found) << ", glyphs " << text(want);
}

// Labels of the whole-number humidities first..last, each centred under its
// column below the axis. Looked at right of the y scale line, where the
// lowest y label may reach below the axis, and left of the x caption.
void ExpectXLabels(const QImage& img, CGraph* g, int first, int last) {
    const graphmath::ClientRect r{0, 0, g->width(), g->height()};
    const graphmath::XRange range = g->GetXRange();
    const double scale = graphmath::XScale(r, range);
    const int axis = graphmath::AxisRow(r);
    const QRect below(graphmath::kLeftMargin + 1, axis + 1, r.right, r.bottom - axis - 1);
    const int captionLeft =
        r.right - QFontMetrics(CGraph::TextFont()).horizontalAdvance(g->XCaption());
    int checked = 0;
    for (int v = first; v <= last; ++v) {
        const int col = graphmath::XToColumn(r, range, scale, v);
        const QString label = QString::number(v);
        const QRect glyphs =
            GlyphBox(QRect(col - 20, r.bottom - 20, 40, 20), Qt::AlignHCenter, label);
        if (glyphs.right() + 5 >= captionLeft) break;
        EXPECT_TRUE(InkAt(img, glyphs, below)) << "x label " << label.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, (last - first) / 2);
}

}  // namespace

TEST(GraphDialog, DrawsActiveRecordWithLegendCaptionsAndLabels) {
    const CharRecData rec =
        SampleRecord()
            .Name("Pszenica")
            .Code("12")
            .Points({8.0, 12.5, 17.0, 21.5, 26.0}, {120.0, 180.0, 260.0, 310.0, 345.0});
    CCharRecGraphDlg dlg(rec);
    dlg.resize(640, 440);
    dlg.show();
    CGraph* g = dlg.Graph();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Wykres charakterystyki"));
    EXPECT_EQ(g->accessibleName(), QStringLiteral("Wykres charakterystyki"));
    EXPECT_EQ(g->PointCount(), 5);
    EXPECT_EQ(g->LegendText(), QStringLiteral("Pszenica (12)"));
    EXPECT_EQ(g->YCaption(), QStringLiteral("Parametr"));
    EXPECT_EQ(g->XCaption(), QStringLiteral(" Wilgotność"));
    EXPECT_EQ(g->GetYRange(), (graphmath::YRange{118, 346}));

    // The graph fills the client area up to the margin.
    const int m = dlg.FrameMargin();
    EXPECT_GE(m, 6);
    EXPECT_LE(m, 20);
    EXPECT_EQ(g->geometry().topLeft(), QPoint(m, m));
    EXPECT_EQ(g->geometry().right(), dlg.width() - m - 1);

    const QImage img = Grab(g, QStringLiteral("graph_dialog_graph"));
    Grab(&dlg, QStringLiteral("graph_dialog"));
    const int axis = g->height() - graphmath::kBottomMargin;
    // The curve spans the plot from the first to the last humidity.
    const auto [first, last] = ColumnSpan(img, kCurve, graphmath::kTopMargin, axis);
    EXPECT_LE(std::abs(first - graphmath::kLeftMargin), 2);
    EXPECT_LE(std::abs(last - (g->width() - graphmath::kXScaleInset - graphmath::kRightMargin +
                               graphmath::kLeftMargin)),
              4);
    // Every scale label sits centred at its row between the two scale lines
    // and under its column below the axis. The y labels are looked at above
    // the axis and left of column 34, out of reach of the x labels and of the
    // point markers at the plot's left edge.
    const graphmath::ClientRect r{0, 0, g->width(), g->height()};
    const double yScale = graphmath::YScale(r, g->GetYRange());
    const QRect scaleColumn(11, 0, 23, axis);
    for (int v = 120; v <= 340; v += 20) {
        const int row = graphmath::YToRow(r, g->GetYRange(), yScale, v);
        const QString label = QString::number(v);
        EXPECT_TRUE(
            InkAt(img, GlyphBox(QRect(10, row - 7, 25, 14), Qt::AlignHCenter, label), scaleColumn))
            << "y label " << label.toStdString();
    }
    ExpectXLabels(img, g, 8, 26);
    // The legend text follows its line; the y caption is whole in the corner,
    // not cut by the control's edge.
    const QFontMetrics fm(CGraph::TextFont());
    const int legendLeft = graphmath::kLeftMargin + 50;
    EXPECT_TRUE(InkAt(img,
                      GlyphBox(QRect(legendLeft, 0, fm.horizontalAdvance(g->LegendText()), 25),
                               Qt::AlignLeft, g->LegendText()),
                      QRect(legendLeft - 5, 0, g->width(), 25)));
    const int legendLine = graphmath::kLeftMargin + 35;
    const QRect caption = InkBox(img, QRect(0, 0, legendLine, 25));
    EXPECT_GE(caption.left(), 1);
    EXPECT_LE(std::abs(caption.width() - fm.tightBoundingRect(g->YCaption()).width()), 2);

    // With the crosshair over the curve, seen in the whole dialog.
    MoveMouse(g, QPoint(300, 200));
    ASSERT_TRUE(g->CrosshairOn());
    const QImage withCross = Grab(&dlg, QStringLiteral("graph_dialog_crosshair"));
    const QPoint at = g->mapTo(&dlg, QPoint(300 + 20, 200));
    EXPECT_GT(CountColor(withCross, QRect(at.x(), at.y(), 200, 1), kCurve), 30);
}

TEST(GraphDialog, FallingHumiditiesStayInsideThePlot) {
    const CharRecData rec =
        SampleRecord().Points({30.0, 25.0, 20.0, 15.0, 10.0}, {1.0, 2.0, 3.0, 4.0, 5.0});
    CCharRecGraphDlg dlg(rec);
    dlg.resize(640, 440);
    dlg.show();
    CGraph* g = dlg.Graph();
    EXPECT_FLOAT_EQ(g->GetXRange().left, 10.0f);
    EXPECT_FLOAT_EQ(g->GetXRange().right, 30.0f);
    const QImage img = Grab(g, QStringLiteral("graph_falling"));
    const int axis = g->height() - graphmath::kBottomMargin;
    const auto [first, last] = ColumnSpan(img, kCurve, graphmath::kTopMargin, axis);
    EXPECT_GE(first, graphmath::kLeftMargin - 2);
    EXPECT_GT(last - first, g->width() / 2);  // spread over the plot, not a stub
    // x labels run from the smallest humidity at the left.
    ExpectXLabels(img, g, 10, 30);
}

TEST(GraphDialog, InactiveRecordGivesEmptyGraph) {
    SampleRecord rec;
    rec.ENABLE = 0;
    CCharRecGraphDlg dlg(rec);
    dlg.resize(500, 360);
    dlg.show();
    CGraph* g = dlg.Graph();
    EXPECT_EQ(g->PointCount(), 0);
    EXPECT_TRUE(g->LegendText().isEmpty());
    EXPECT_TRUE(g->XCaption().isEmpty());
    const QImage img = Grab(g, QStringLiteral("graph_empty"));
    const int axis = g->height() - graphmath::kBottomMargin;
    // White only on the two scale lines and the axis: no numbers, no captions.
    int stray = 0, onLines = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixelColor(x, y).rgb() != kWhite.rgb()) continue;
            const bool line =
                ((x == 10 || x == 35) && y >= 30 && y <= axis) || (y == axis && x >= 35);
            (line ? onLines : stray) += 1;
        }
    EXPECT_EQ(stray, 0);
    EXPECT_GT(onLines, 2 * (axis - 30) + g->width() - 40);
    // The 10-pixel legend line in the curve colour, and nothing else in that colour.
    EXPECT_EQ(ColumnSpan(img, kCurve, 0, img.height() - 1), std::make_pair(70, 79));
}

TEST(GraphDialog, GuardsPointCountAndInvalidBlocks) {
    SampleRecord rec;
    rec.ACTIVE = 200;
    CCharRecGraphDlg big(rec);
    EXPECT_EQ(big.Graph()->PointCount(), CharRecData::kPoints);
    rec.valid = 0;
    CCharRecGraphDlg invalid(rec);
    EXPECT_EQ(invalid.Graph()->PointCount(), 0);
}

TEST(GraphWidget, CrosshairFollowsMouseWithoutFullRedraw) {
    CGraph g;
    g.AddPoint(10, 100);
    g.AddPoint(20, 200);
    g.AddPoint(30, 250);
    g.SetSeriesLabels(0, QStringLiteral("Test"), QStringLiteral("Parametr"));
    g.SetXAxisLabel(QStringLiteral("Wilgotność"));
    g.resize(500, 300);
    g.show();
    const QImage before = Grab(&g, QStringLiteral("graph_no_cross"));
    const int redraws = g.FullRedraws();

    const QPoint cursor(250, 120);
    MoveMouse(&g, cursor);
    EXPECT_TRUE(g.CrosshairOn());
    const QImage cross = Grab(&g, QStringLiteral("graph_crosshair"));
    MoveMouse(&g, QPoint(260, 130));
    Grab(&g, QStringLiteral("graph_crosshair2"));
    EXPECT_EQ(g.FullRedraws(), redraws);

    // Dotted arms in the curve colour, with the 7-pixel gap left free.
    const int rightArm = CountColor(cross, QRect(cursor.x() + 7, cursor.y(), 500, 1), kCurve);
    EXPECT_GT(rightArm, 50);
    EXPECT_LT(rightArm, 500 - cursor.x() - 7);  // dotted, not solid
    EXPECT_GT(CountColor(cross, QRect(cursor.x(), 0, 1, cursor.y() - 7), kCurve), 20);
    EXPECT_EQ(CountColor(cross, QRect(cursor.x() - 6, cursor.y() - 6, 13, 13), kCurve),
              CountColor(before, QRect(cursor.x() - 6, cursor.y() - 6, 13, 13), kCurve));
    // Read-outs: y in the scale column at the cursor's row, x under the axis.
    const int axis = 300 - graphmath::kBottomMargin;
    EXPECT_NE(cross.copy(0, cursor.y() - 10, 45, 20), before.copy(0, cursor.y() - 10, 45, 20));
    EXPECT_NE(cross.copy(cursor.x() - 20, axis, 40, 20),
              before.copy(cursor.x() - 20, axis, 40, 20));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&g, &leave);
    EXPECT_FALSE(g.CrosshairOn());
    EXPECT_EQ(Grab(&g, QStringLiteral("graph_after_leave")), before);
    EXPECT_EQ(g.FullRedraws(), redraws);
}

TEST(GraphWidget, RedrawsOnlyWhenDirtyAndShowsOnlyBackgroundWhenLow) {
    CGraph g;
    g.AddPoint(1, 1);
    g.AddPoint(2, 3);
    g.resize(300, 200);
    g.show();
    Grab(&g, QStringLiteral("graph_small_a"));
    const int n = g.FullRedraws();
    Grab(&g, QStringLiteral("graph_small_a"));
    EXPECT_EQ(g.FullRedraws(), n);
    g.SetXAxisLabel(QStringLiteral("X"));
    Grab(&g, QStringLiteral("graph_small_b"));
    EXPECT_EQ(g.FullRedraws(), n + 1);
    g.AddPoint(3, 4);  // a point added after painting shows up too
    Grab(&g, QStringLiteral("graph_small_b"));
    EXPECT_EQ(g.FullRedraws(), n + 2);

    g.resize(300, 55);
    const QImage low = Grab(&g, QStringLiteral("graph_low"));
    EXPECT_EQ(g.FullRedraws(), n + 3);
    EXPECT_EQ(CountColor(low, low.rect(), kBlack), 300 * 55);
    g.resize(300, 56);
    const QImage high = Grab(&g, QStringLiteral("graph_low_plus1"));
    EXPECT_LT(CountColor(high, high.rect(), kBlack), 300 * 56);
}

TEST(GraphDialog, SavesPngAndPdf) {
    QTemporaryDir dir;
    ScopedPrompts prompts;
    CCharRecGraphDlg dlg(SampleRecord(0));
    dlg.resize(600, 400);
    dlg.show();
    const QSize graphSize = dlg.Graph()->size();

    prompts->answerFile(dir.filePath(QStringLiteral("curve.png")), 0);
    dlg.SaveButton()->click();
    ASSERT_EQ(prompts->fileRequests.size(), 1u);
    EXPECT_EQ(
        prompts->fileRequests[0].request.filters,
        (QStringList{QStringLiteral("Obraz PNG (*.png)"), QStringLiteral("Dokument PDF (*.pdf)")}));
    QImage png;
    ASSERT_TRUE(png.load(dir.filePath(QStringLiteral("curve.png")), "PNG"));
    EXPECT_EQ(png.size(), graphSize);
    EXPECT_GT(CountColor(png.convertToFormat(QImage::Format_RGB32), png.rect(), kCurve), 50);

    // A name without suffix takes the chosen filter's.
    prompts->answerFile(dir.filePath(QStringLiteral("report")), 1);
    dlg.SaveImage();
    QFile pdf(dir.filePath(QStringLiteral("report.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
    EXPECT_TRUE(prompts->messages.empty());

    // An unwritable place is reported, not passed over.
    prompts->answerFile(dir.filePath(QStringLiteral("missing/dir/x.png")), 0);
    dlg.SaveImage();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać obrazu"));
}

TEST(GraphWidget, PointsAddedFromAnotherThreadWhilePainting) {
    CGraph g;
    g.resize(400, 300);
    g.show();
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        for (int i = 0; i < 2000; ++i)
            g.AddPoint(static_cast<float>(i), static_cast<float>(i % 50));
        done = true;
    });
    while (!done) g.grab();
    feeder.join();
    EXPECT_EQ(g.PointCount(), 2000);
    EXPECT_FLOAT_EQ(g.GetXRange().right, 1999.0f);
    EXPECT_EQ(g.GetYRange(), (graphmath::YRange{-1, 50}));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return g.FullRedraws() > 0; }));
}
