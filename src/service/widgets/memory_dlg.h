#pragma once

#include <QDialog>

class QListWidget;
class MeterSession;

// "Pamięć uruchamiania miernika": the readout of the meter's startup memory.
// The readout is switched off: running the dialog says "Chwilowo wyłączone" and
// ends at once, cancelled, without showing the window or touching the meter.
class CMemoryDlg : public QDialog {
    Q_OBJECT
public:
    // session: the main window's meter session (not owned, not used).
    explicit CMemoryDlg(MeterSession* session, QWidget* parent = nullptr);

    int exec() override;

private:
    MeterSession* m_session = nullptr;
    QListWidget* m_list = nullptr;
};
