#include "ui/dialog_closer.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>

DialogCloser::DialogCloser(QWidget* window) : QObject(window), m_window(window) {}

void DialogCloser::CloseAll() {
    if (!m_filtering) {
        m_filtering = true;
        qApp->installEventFilter(this);
    }
    for (int i = 0; i < 16 && QApplication::activePopupWidget(); ++i) {
        QApplication::activePopupWidget()->close();
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d && d != m_window && d->isVisible()) d->done(QDialog::Rejected);
    }
    m_window->close();
}

bool DialogCloser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched != m_window) {
        auto* d = qobject_cast<QDialog*>(watched);
        if (d && d->isWindow()) {
            QMetaObject::invokeMethod(
                d, [d] { d->done(QDialog::Rejected); }, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}
