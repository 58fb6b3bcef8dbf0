#pragma once

#include <QDialog>

class QListWidget;
class Ckv60xDriver;

// "Pamięć uruchamiania miernika": the readout of the meter's startup memory.
// The readout is switched off: running the dialog says "Chwilowo wyłączone" and
// ends at once, cancelled, without showing the window or touching the meter.
class CMemoryDlg : public QDialog {
    Q_OBJECT
public:
    // driver: the main window's driver (not owned, not used).
    explicit CMemoryDlg(Ckv60xDriver* driver, QWidget* parent = nullptr);

    int exec() override;

private:
    Ckv60xDriver* m_driver = nullptr;
    QListWidget* m_list = nullptr;
};
