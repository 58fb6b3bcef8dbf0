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

class QIODevice;

// An x-y line graph: one series of points, scaled axes with labels, captions
// and a legend on a dark background. The finished picture is cached and only
// redrawn when data, captions or size change; the crosshair with the values
// under the mouse is drawn over the cached picture.
class CGraph : public QWidget {
    Q_OBJECT
public:
    // One point of the series.
    class CGraphRecord {
    public:
        float x = 0.0f;
        float y = 0.0f;
        int mark = 0;
    };

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
    const QString& LegendText() const { return m_legend; }
    const QString& YCaption() const { return m_yCaption; }
    const QString& XCaption() const { return m_xCaption; }
    bool CrosshairOn() const { return m_crosshairOn; }
    // Number of full drawings into the cache so far.
    int FullRedraws() const { return m_fullRedraws; }

    static QFont TextFont();

    static constexpr QRgb kCurveColor = 0x7882E4;  // RGB(120, 130, 228)
    static constexpr int kCurveWidth = 2;
    static constexpr int kCrossGap = 7;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DrawAll(QPainter& p, const graphmath::ClientRect& r);
    void DrawYScale(QPainter& p, const graphmath::ClientRect& r);
    void DrawCurve(QPainter& p, const graphmath::ClientRect& r);
    void DrawXScaleAndLegend(QPainter& p, const graphmath::ClientRect& r);
    void DrawCrosshair(QPainter& p);

    mutable std::mutex m_lock;  // guards m_points, m_xRange and m_yRange
    std::vector<std::unique_ptr<CGraphRecord>> m_points;
    graphmath::XRange m_xRange;
    graphmath::YRange m_yRange;

    QString m_legend;
    QString m_yCaption;
    QString m_xCaption;

    QColor m_curveColor = QColor::fromRgb(kCurveColor);
    int m_curveWidth = kCurveWidth;
    QColor m_axisColor = Qt::white;
    QColor m_backgroundColor = Qt::black;
    QFont m_font = TextFont();

    std::atomic<bool> m_dirty{true};  // set from AddPoint on any thread
    QPixmap m_cache;
    int m_fullRedraws = 0;
    QPoint m_cursor;
    bool m_crosshairOn = false;
};
