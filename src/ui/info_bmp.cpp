#include "ui/info_bmp.h"

#include "ui/ui_resources.h"

CInfoBmp::CInfoBmp(QWidget* parent) : QLabel(parent) {
    InitUiResources();
    m_information = QPixmap(QStringLiteral(":/kv60x/ui/info.png"));
    m_warning = QPixmap(QStringLiteral(":/kv60x/ui/warning.png"));
    m_error = QPixmap(QStringLiteral(":/kv60x/ui/error.png"));
    setAlignment(Qt::AlignCenter);
    setMinimumSize(24, 24);
    // Screen readers hear the picture's meaning as its name.
    setAccessibleName(QStringLiteral("Stan urządzenia"));
    setAccessibleDescription(QStringLiteral("Stan urządzenia"));
}

void CInfoBmp::SetState(State s) {
    if (s == m_state) return;
    m_state = s;
    switch (s) {
        case Information:
            setPixmap(m_information);
            setAccessibleName(QStringLiteral("Informacja"));
            break;
        case Warning:
            setPixmap(m_warning);
            setAccessibleName(QStringLiteral("Ostrzeżenie"));
            break;
        case Error:
            setPixmap(m_error);
            setAccessibleName(QStringLiteral("Błąd"));
            break;
        case None:
            clear();
            setAccessibleName(QStringLiteral("Stan urządzenia"));
            break;
    }
    ++m_pictureChanges;
}
