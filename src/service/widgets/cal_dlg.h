#pragma once

#include <cstdint>

#include "service/widgets/meter_dialog.h"

class DeviceOperation;
class QLineEdit;
class QPushButton;

// "Data uruchamiania": writes the meter's startup (commissioning) year and month.
// Opens with the date the meter last reported; checks the new one and writes it
// on a worker thread; a successful write closes the dialog with OK.
class CCalDlg : public MeterDialog {
    Q_OBJECT
public:
    explicit CCalDlg(Ckv60xDriver* driver, QWidget* parent = nullptr);

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
    // The date to write.
    uint16_t m_year = 0;
    uint8_t m_month = 0;
};
