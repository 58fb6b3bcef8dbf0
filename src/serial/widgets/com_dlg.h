#pragma once

#include <QDialog>
#include <QStringList>

#include "serial/widgets/wait_com_dlg.h"

class QComboBox;
class QLabel;
class QPushButton;

// "Port szeregowy": choose the meter's COM port from the ports present. The
// entries are listed behind CWaitComDlg when the dialog runs. OK takes the
// number after "COM" of the selected entry.
class CComDlg : public QDialog {
    Q_OBJECT
public:
    // currentPort: the port in use, 0 for none. lister: the port listing
    // (default: the ports present), run on the wait window's worker.
    explicit CComDlg(int currentPort, QWidget* parent = nullptr,
                     CWaitComDlg::Job lister = CWaitComDlg::Job());

    // Lists the ports (behind the wait window), fills the dialog and runs it.
    int exec() override;

    // The chosen port after OK (above 0).
    int chosenPort() const { return m_chosen; }
    int currentPort() const { return m_current; }
    QStringList entries() const { return m_entries; }

    QLabel* currentPortLabel() const { return m_currentLabel; }
    QComboBox* portList() const { return m_combo; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    // "Aktualnie używany port: COM%d" or "Aktualnie żaden port nie jest używany".
    static QString CurrentPortText(int currentPort);
    // The number after "COM" of an entry; 0 when it has none.
    static int EntryPortNumber(const QString& entry);

public slots:
    void accept() override;

private:
    void Fill(const QStringList& entries);

    int m_current = 0;
    int m_chosen = 0;
    QStringList m_entries;
    CWaitComDlg::Job m_lister;
    QLabel* m_currentLabel = nullptr;
    QComboBox* m_combo = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
