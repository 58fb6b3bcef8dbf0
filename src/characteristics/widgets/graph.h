#pragma once

#include "ui/picture_export.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "characteristics/graph_math.h"
#include "characteristics/graph_paint.h"

class QIODevice;

// An x-y line graph: one series of points, scaled axes with labels, captions
// and a legend on a dark background, painted by graphpaint::PaintGraph. The
// finished picture is cached and only redrawn when data, captions or size
// change; the crosshair with the values under the mouse is drawn over the
// cached picture.
class CGraph : public QWidget {
    Q_OBJECT
public:
    using ImageFormat = PictureFormat;

    explicit CGraph(QWidget* parent = nullptr);
    ~CGraph() override;

    // Appends a point and widens the ranges. Safe from any thread; the
    // picture is redrawn at the next painting.
    void AddPoint(float x, float y);

    // Index 0 sets the legend text and the y caption; other indexes are ignored.
    void SetSeriesLabels(int index, const QString& legend, const QString& yCaption);
    // The x caption is kept with one leading space.
    void SetXAxisLabel(const QString& text);
    // Replaces the series, its ranges and the texts (the x caption as drawn).
    void SetData(const graphpaint::GraphData& data);

    // Forces a full redraw at the next painting.
    void MarkDirty();

    // Draws the whole picture (without the crosshair) into r of any painter.
    void DrawPicture(QPainter& p, const QRect& r);
    // The picture at `size` as an image or PDF page; false when writing fails.
    bool WriteImage(QIODevice& out, ImageFormat format, QSize size);
    bool SaveImage(const QString& path, ImageFormat format);

    int PointCount() const;
    graphmath::XRange GetXRange() const;
    graphmath::YRange GetYRange() const;
    // The texts are set on the UI thread only; the points may come from any.
    const QString& LegendText() const { return m_data.legend; }
    const QString& YCaption() const { return m_data.yCaption; }
    const QString& XCaption() const { return m_data.xCaption; }
    bool CrosshairOn() const { return m_crosshairOn; }
    // Number of full drawings into the cache so far.
    int FullRedraws() const { return m_fullRedraws; }

    static QFont TextFont() { return graphpaint::TextFont(); }

    static constexpr QRgb kCurveColor = graphpaint::kCurveColor;
    static constexpr int kCurveWidth = graphpaint::kCurveWidth;
    static constexpr int kCrossGap = 7;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DrawCrosshair(QPainter& p);

    mutable std::mutex m_lock;  // guards the points and ranges of m_data
    graphpaint::GraphData m_data;
    graphpaint::GraphStyle m_style;

    std::atomic<bool> m_dirty{true};  // set from AddPoint on any thread
    QPixmap m_cache;
    int m_fullRedraws = 0;
    QPoint m_cursor;
    bool m_crosshairOn = false;
};
