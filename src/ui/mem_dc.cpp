#include "ui/mem_dc.h"

#include <QPaintDevice>

CMemDC::CMemDC(QPainter& target, const QRect& rect, const QColor& fill)
    : m_target(target), m_rect(rect) {
    QPaintDevice* dev = target.device();
    m_direct = dev == nullptr || dev->devType() == QInternal::Printer || rect.isEmpty();
    if (m_direct) return;
    const qreal dpr = dev->devicePixelRatioF();
    m_buffer = QPixmap(rect.size() * dpr);
    m_buffer.setDevicePixelRatio(dpr);
    m_buffer.fill(fill);
    m_painter.begin(&m_buffer);
    m_painter.translate(-rect.topLeft());
    m_painter.setFont(target.font());
}

CMemDC::~CMemDC() {
    if (m_direct) return;
    m_painter.end();
    m_target.drawPixmap(m_rect.topLeft(), m_buffer);
}
