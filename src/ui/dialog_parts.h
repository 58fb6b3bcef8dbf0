#pragma once

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "ui/ui_resources.h"

// Small building blocks shared by the appearance dialogs.
namespace dialogparts {

// The application icon as a 32 x 32 picture label.
inline QLabel* IconLabel(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setPixmap(AppIcon().pixmap(32, 32));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setAccessibleName(QStringLiteral("Ikona programu"));
    return l;
}

inline QFrame* Separator(QWidget* parent) {
    auto* f = new QFrame(parent);
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

// "OK" (default) and "Anuluj".
inline QDialogButtonBox* OkCancel(QWidget* parent) {
    auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, parent);
    b->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    b->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
    b->button(QDialogButtonBox::Ok)->setDefault(true);
    return b;
}

}  // namespace dialogparts
