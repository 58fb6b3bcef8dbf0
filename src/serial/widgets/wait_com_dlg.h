#pragma once

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <functional>
#include <thread>

class QPushButton;

// "Proszę czekać": covers the listing of the serial ports, which runs on a
// worker thread. "Anuluj" (and closing the window) only sets the cancel flag:
// the listing does not look at it, so the window closes when the worker is done.
class CWaitComDlg : public QDialog {
    Q_OBJECT
public:
    // The slow job; runs on the worker and returns the port entries
    // ("COMn (description)" or "COMn"). The default lists the ports present.
    using Job = std::function<QStringList(const std::atomic<bool>& cancel)>;

    explicit CWaitComDlg(QWidget* parent = nullptr, Job job = Job());
    ~CWaitComDlg() override;

    // Starts the worker and waits, modally, until it has delivered its entries.
    int exec() override;

    QStringList entries() const { return m_entries; }
    bool cancelRequested() const { return m_cancel.load(); }
    QPushButton* cancelButton() const { return m_cancelButton; }

    // The port list as entries for the selection dialog.
    static QStringList ListPortEntriesText();

public slots:
    void reject() override;

private:
    void Deliver(const QStringList& entries);
    void JoinWorker();

    Job m_job;
    QStringList m_entries;
    QPushButton* m_cancelButton = nullptr;
    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_workerDone{true};
};
