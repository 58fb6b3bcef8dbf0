#pragma once

#include <QColor>
#include <QWidget>

// A colour swatch: fills its whole area with its colour, nothing else, and
// reports clicks (mouse, or Space/Enter when it has the focus).
class CColorRect : public QWidget {
    Q_OBJECT
public:
    explicit CColorRect(QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    // Sets the colour and repaints.
    void SetColor(const QColor& c);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QColor m_color{128, 128, 128};
};
