#include "service/widgets/memory_dlg.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/prompts.h"

CMemoryDlg::CMemoryDlg(MeterSession* session, QWidget* parent)
    : QDialog(parent), m_session(session) {
    setWindowTitle(QStringLiteral("Pamięć uruchamiania miernika"));
    m_list = new QListWidget(this);
    m_list->setAccessibleName(windowTitle());
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setAccessibleName(ok->text());
    auto* cancel = new QPushButton(QStringLiteral("Anuluj"), this);
    cancel->setAccessibleName(cancel->text());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
}

int CMemoryDlg::exec() {
    Prompts::instance().message(parentWidget() ? parentWidget() : this,
                                QStringLiteral("Chwilowo wyłączone"), Prompts::Icon::Information);
    setResult(QDialog::Rejected);
    return QDialog::Rejected;
}
