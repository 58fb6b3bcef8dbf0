#include "ui/color_rect.h"

#include <QKeyEvent>
#include <QPainter>

#include "ui/accessibility.h"

CColorRect::CColorRect(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleDescription(accessibility::ColorDescription(m_color));
}

void CColorRect::SetColor(const QColor& c) {
    m_color = c;
    setAccessibleDescription(accessibility::ColorDescription(c));
    update();
}

void CColorRect::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_color);
    if (hasFocus()) {
        // Only the keyboard focus is marked, dotted in a colour that stands
        // out from the fill; otherwise nothing but the colour is drawn.
        p.setPen(QPen(m_color.lightness() > 127 ? Qt::black : Qt::white, 1, Qt::DotLine));
        p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void CColorRect::keyPressEvent(QKeyEvent* event) {
    // Enter acts on the focused swatch as on a focused push button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
