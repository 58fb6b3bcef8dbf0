#pragma once

#include "service/widgets/meter_dialog.h"

class DeviceOperation;
class QLineEdit;
class QPushButton;

// "Data uruchamiania": writes the meter's startup (commissioning) year and month.
// Opens with the date the meter last reported; checks the new one and writes it
// through the session on a worker thread; a successful write closes the dialog
// with OK.
class CCalDlg : public MeterDialog {
    Q_OBJECT
public:
    explicit CCalDlg(MeterSession* session, QWidget* parent = nullptr);

    // OK (also Enter): checks the input and starts the write. Ignored while
    // busy. The helper closes the dialog with QDialog::accept() on success.
    void OnOk();

protected:
    bool InitDialog() override;

private:
    QLineEdit* m_yearEdit = nullptr;
    QLineEdit* m_monthEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    DeviceOperation* m_op = nullptr;
};
