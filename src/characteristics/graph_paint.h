#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <optional>
#include <vector>

#include "characteristics/graph_math.h"
#include "records/char_rec_data.h"

class QPainter;

// The picture of the characteristic graph ("Wykres"), painted onto any
// QPainter: the window's CGraph, a saved picture and the meter report all draw
// through PaintGraph, so they look alike. Qt Gui only, no widgets.
namespace graphpaint {

// One point of the series.
struct GraphPoint {
    float x = 0.0f;
    float y = 0.0f;
};

// What a graph shows: the series with its ranges and the texts.
struct GraphData {
    std::vector<GraphPoint> points;
    graphmath::XRange xRange;
    graphmath::YRange yRange;
    QString legend;
    QString yCaption;
    // As drawn: CGraph keeps it with one leading space.
    QString xCaption;

    // Appends a point and widens the ranges.
    void Add(float x, float y);
};

constexpr QRgb kCurveColor = 0x7882E4;  // RGB(120, 130, 228)
constexpr int kCurveWidth = 2;

// The graph's text font: Arial (or the system's sans serif), 12 pixels, weight 500.
QFont TextFont();

// Colours, pen and font of the picture; the defaults are the window's.
struct GraphStyle {
    QColor curve = QColor::fromRgb(kCurveColor);
    int curveWidth = kCurveWidth;
    QColor axis = Qt::white;
    QColor background = Qt::black;
    QFont font = TextFont();
};

// Paints the whole picture (background, scales, curve, captions, legend) into
// `r` of the painter, in the painter's coordinates, one unit being one pixel
// of the window's graph. A rectangle too low for a plot shows the background
// only. The painter's state is restored afterwards.
void PaintGraph(QPainter& p, const QRect& r, const GraphData& data,
                const GraphStyle& style = GraphStyle());

// What "Wykres" shows of a record: its active points (at most 15, however many
// the record claims), the legend "name (code)", "Parametr" over the y scale
// and "Wilgotność" at the x axis. Nothing (an empty graph) for a block that
// holds no record or an inactive record.
std::optional<GraphData> CharRecGraphData(const CharRecData& rec);

}  // namespace graphpaint
