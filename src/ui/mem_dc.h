#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>

// Off-screen drawing surface: painting goes to a pixmap of the rectangle's size,
// pre-filled with the given colour, and is copied to the target in one block
// when the object goes away. On a printer the target is drawn on directly.
class CMemDC {
public:
    CMemDC(QPainter& target, const QRect& rect, const QColor& fill);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // The painter to draw with, in the target's coordinates.
    QPainter& painter() { return m_direct ? m_target : m_painter; }

private:
    QPainter& m_target;
    QRect m_rect;
    bool m_direct = false;
    QPixmap m_buffer;
    QPainter m_painter;
};
