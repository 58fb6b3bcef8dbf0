#pragma once

#include <QAbstractButton>
#include <QColor>

// A colour swatch: fills its whole area with its colour and reports clicks
// (mouse, Space, Enter, or a screen reader's press). Screen readers meet it as
// a button whose description names the colour.
class CColorRect : public QAbstractButton {
    Q_OBJECT
public:
    explicit CColorRect(QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    // Sets the colour and repaints.
    void SetColor(const QColor& c);

    QSize sizeHint() const override { return {85, 23}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QColor m_color{128, 128, 128};
};
