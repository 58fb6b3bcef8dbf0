#pragma once

#include <QString>

#include "service/widgets/meter_dialog.h"

class DeviceOperation;
class QLineEdit;
class QPushButton;

// "Współczynnik kształtu elektrod": reads the meter's electrode shape coefficient
// through the session on a worker when it opens and writes the typed value on
// OK, again on a worker. A failed read leaves the box empty; the user may still
// type a value.
class CElectrodeDlg : public MeterDialog {
    Q_OBJECT
public:
    explicit CElectrodeDlg(MeterSession* session, QWidget* parent = nullptr);

    // OK (also Enter): checks the input and starts the write. Ignored while
    // busy. The helper closes the dialog with QDialog::accept() on success.
    void OnOk();

    // The coefficient as the box shows it: eight decimals, a full stop.
    static QString FormatCoefficientText(double coefficient);

protected:
    bool InitDialog() override;

private:
    void ShowReadValue();

    QLineEdit* m_valueEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    DeviceOperation* m_op = nullptr;  // the reading and the writing worker, one at a time
    // What the read put into the box (empty: nothing read); it stands for the
    // session's LastElectrodeCoefficient().
    QString m_shownText;
};
