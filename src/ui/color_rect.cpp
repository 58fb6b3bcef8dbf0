#include "ui/color_rect.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CColorRect::CColorRect(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void CColorRect::SetColor(const QColor& c) {
    m_color = c;
    update();
}

void CColorRect::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_color);
}

void CColorRect::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CColorRect::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}
