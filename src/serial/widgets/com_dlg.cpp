#include "serial/widgets/com_dlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "serial/port_names.h"
#include "ui/prompts.h"

CComDlg::CComDlg(int currentPort, QWidget* parent, CWaitComDlg::Job lister)
    : QDialog(parent), m_current(currentPort), m_lister(std::move(lister)) {
    setWindowTitle(QStringLiteral("Port szeregowy"));
    setModal(true);

    m_currentLabel = new QLabel(CurrentPortText(m_current), this);
    m_currentLabel->setAccessibleName(m_currentLabel->text());
    auto* listLabel = new QLabel(QStringLiteral("Dostępne porty:"), this);
    listLabel->setAccessibleName(listLabel->text());
    m_combo = new QComboBox(this);
    m_combo->setAccessibleName(listLabel->text());
    m_combo->setMinimumWidth(360);
    listLabel->setBuddy(m_combo);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setAccessibleName(m_ok->text());
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Anuluj"), this);
    m_cancel->setAccessibleName(m_cancel->text());
    connect(m_ok, &QPushButton::clicked, this, &CComDlg::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CComDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_currentLabel);
    layout->addWidget(listLabel);
    layout->addWidget(m_combo);
    layout->addStretch(1);
    layout->addLayout(buttons);
}

QString CComDlg::CurrentPortText(int currentPort) {
    if (currentPort == 0) return QStringLiteral("Aktualnie żaden port nie jest używany");
    return QStringLiteral("Aktualnie używany port: COM%1").arg(currentPort);
}

int CComDlg::EntryPortNumber(const QString& entry) {
    if (entry.size() <= 3) return 0;
    return ParsePortNumber(entry);
}

int CComDlg::exec() {
    CWaitComDlg wait(this, m_lister);
    wait.exec();
    Fill(wait.entries());
    return QDialog::exec();
}

void CComDlg::Fill(const QStringList& entries) {
    m_entries = entries;
    m_currentLabel->setText(CurrentPortText(m_current));
    m_currentLabel->setAccessibleName(m_currentLabel->text());
    m_combo->clear();
    m_combo->addItems(entries);
    m_combo->setCurrentIndex(-1);
    if (m_current == 0) return;
    for (int i = 0; i < entries.size(); ++i) {
        if (EntryPortNumber(entries[i]) == m_current) {
            m_combo->setCurrentIndex(i);
            break;
        }
    }
}

void CComDlg::accept() {
    const int n = m_combo->currentIndex() >= 0 ? EntryPortNumber(m_combo->currentText()) : 0;
    if (n > 0) {
        m_chosen = n;
        QDialog::accept();
        return;
    }
    Prompts::instance().message(this, QStringLiteral("Nie wybrano żadnego portu."),
                                Prompts::Icon::Warning);
}
