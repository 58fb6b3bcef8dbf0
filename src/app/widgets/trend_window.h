#pragma once

#include "ui/picture_export.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include "app/trend_math.h"

class QComboBox;
class QIODevice;
class QLabel;
class QPainter;
class QPushButton;

// The chart of the temperature trend: readings of the chosen span up to the
// newest entry of the history, drawn from the decimated trace (at most four
// points per pixel column), broken at gaps, on the value display's colours.
// It draws only when asked to (a new entry, a new span, new colours) or when
// the window system needs it.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    explicit TrendChart(const trendmath::TrendHistory* history, QWidget* parent = nullptr);

    void SetSpan(trendmath::Span span);
    trendmath::Span span() const { return m_span; }
    void SetColors(const QColor& background, const QColor& text);
    QColor backgroundColor() const { return m_background; }
    QColor textColor() const { return m_text; }

    // Entries of the history within the shown span: [first, last).
    void ShownRange(size_t& first, size_t& last) const;
    trendmath::SpanStats ShownStats() const;

    // The whole picture into rect (the widget, an image, a PDF page).
    void DrawChart(QPainter& p, const QRect& rect) const;
    // The trace and the plot area of the last picture drawn.
    const std::vector<trendmath::Polyline>& lastTrace() const { return m_lastTrace; }
    trendmath::View lastView() const { return m_lastView; }

    // Paints done so far (tests, diagnostics).
    int paintCount() const { return m_paintCount; }

    QSize sizeHint() const override { return {640, 320}; }
    QSize minimumSizeHint() const override { return {240, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const trendmath::TrendHistory* m_history = nullptr;
    trendmath::Span m_span = trendmath::Span::Min10;
    QColor m_background{202, 228, 255};
    QColor m_text{0, 64, 128};
    int m_paintCount = 0;
    mutable std::vector<trendmath::Polyline> m_lastTrace;
    mutable trendmath::View m_lastView;
};

// "Wykres temperatury": the trend chart with the span chooser, the statistics
// of the shown span, and saving the picture (PNG, PDF) or the shown readings
// (the registration file's line format). The main window owns the history and
// the window, and calls OnNewEntry after each entry it adds.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    using ImageFormat = PictureFormat;

    static inline const QString kTitle = QStringLiteral("Wykres temperatury");

    explicit TrendWindow(const trendmath::TrendHistory* history, QWidget* parent = nullptr);

    // A new entry in the history: one redraw and the statistics line.
    void OnNewEntry();
    // The value display's colours.
    void SetColors(const QColor& background, const QColor& text);

    // The picture of the chart at size (at least 640 x 400 when the chart is smaller).
    bool WriteImage(QIODevice& out, ImageFormat format, QSize size) const;
    // Header line, then one line per shown entry: date and time, separator,
    // value ("???" for a gap), CR LF; the locale's separator and decimal sign.
    QByteArray DataText() const;

    TrendChart* chart() const { return m_chart; }
    QComboBox* spanBox() const { return m_spanBox; }
    QLabel* statsLabel() const { return m_stats; }
    QPushButton* saveImageButton() const { return m_saveImage; }
    QPushButton* saveDataButton() const { return m_saveData; }

public slots:
    void SaveImage();
    void SaveData();

private:
    void UpdateStats();

    const trendmath::TrendHistory* m_history = nullptr;
    TrendChart* m_chart = nullptr;
    QComboBox* m_spanBox = nullptr;
    QLabel* m_stats = nullptr;
    QPushButton* m_saveImage = nullptr;
    QPushButton* m_saveData = nullptr;
};
