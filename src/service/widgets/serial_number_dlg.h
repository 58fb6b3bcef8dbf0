#pragma once

#include "service/widgets/meter_dialog.h"

class DeviceOperation;
class QLineEdit;
class QPushButton;

// "Numer seryjny": writes the meter's serial number and its version letter (the
// letter after the model name, the "panel type"). Both go out on one worker, the
// serial number first; a failure of either stops there with its own message.
class CSerialNumberDlg : public MeterDialog {
    Q_OBJECT
public:
    explicit CSerialNumberDlg(MeterSession* session, QWidget* parent = nullptr);

    // OK (also Enter): checks the input and starts the write. Ignored while
    // busy. The helper closes the dialog with QDialog::accept() on success.
    void OnOk();

protected:
    bool InitDialog() override;

private:
    QLineEdit* m_serialEdit = nullptr;
    QLineEdit* m_letterEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    DeviceOperation* m_op = nullptr;
};
