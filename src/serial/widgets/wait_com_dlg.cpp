#include "serial/widgets/wait_com_dlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <chrono>
#include <system_error>

#include "serial/port_names.h"
#include "ui/queued_call.h"

CWaitComDlg::CWaitComDlg(QWidget* parent, Job job) : QDialog(parent), m_job(std::move(job)) {
    if (!m_job) {
        m_job = [](const std::atomic<bool>&) { return ListPortEntriesText(); };
    }
    setWindowTitle(QStringLiteral("Proszę czekać"));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(32, 32));
    icon->setAccessibleName(QStringLiteral("Proszę czekać"));
    auto* text = new QLabel(QStringLiteral("Proszę czekać"), this);
    text->setAccessibleName(text->text());
    m_cancelButton = new QPushButton(QStringLiteral("Anuluj"), this);
    m_cancelButton->setAccessibleName(m_cancelButton->text());
    connect(m_cancelButton, &QPushButton::clicked, this, &CWaitComDlg::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
}

CWaitComDlg::~CWaitComDlg() {
    m_cancel = true;
    JoinWorker();
}

QStringList CWaitComDlg::ListPortEntriesText() {
    QString text;
    if (!ListPorts(text)) return {};
    return PortListEntries(text);
}

int CWaitComDlg::exec() {
    m_cancel = false;
    m_entries.clear();
    JoinWorker();
    m_workerDone = false;
    try {
        m_worker = std::thread([this] {
            const QStringList entries = m_job(m_cancel);
            // Entries and the close reach the window on the UI thread.
            PostQueued(this, [this, entries] { Deliver(entries); });
            m_workerDone = true;
        });
    } catch (const std::system_error&) {
        m_workerDone = true;
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void CWaitComDlg::Deliver(const QStringList& entries) {
    m_entries = entries;
    if (m_worker.joinable()) m_worker.join();
    QDialog::done(QDialog::Accepted);
}

void CWaitComDlg::reject() {
    // Only asks; the listing is not interrupted and closes the window when done.
    m_cancel = true;
}

void CWaitComDlg::JoinWorker() {
    while (m_worker.joinable() && !m_workerDone.load()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (m_worker.joinable()) m_worker.join();
}
