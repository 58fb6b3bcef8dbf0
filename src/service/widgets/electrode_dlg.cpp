#include "service/widgets/electrode_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "meter/kv60x_driver.h"
#include "records/char_rec_format.h"
#include "ui/device_operation.h"
#include "ui/dialog_parts.h"

using servicedialogs::LabelFor;

CElectrodeDlg::CElectrodeDlg(Ckv60xDriver* driver, QWidget* parent) : MeterDialog(driver, parent) {
    setWindowTitle(QStringLiteral("Współczynnik kształtu elektrod"));

    m_valueEdit = new QLineEdit(this);
    m_valueEdit->setMaxLength(40);
    // Room for the window title and for a coefficient with eight decimals.
    m_valueEdit->setMinimumWidth(220);
    auto* row = new QHBoxLayout;
    row->addWidget(LabelFor(QStringLiteral("Wartość:"), m_valueEdit, this));
    row->addWidget(m_valueEdit, 1);

    auto* buttons = dialogparts::OkCancel(this);
    m_okButton = buttons->button(QDialogButtonBox::Ok);
    m_cancelButton = buttons->button(QDialogButtonBox::Cancel);
    m_okButton->setAccessibleName(m_okButton->text());
    m_cancelButton->setAccessibleName(m_cancelButton->text());
    connect(buttons, &QDialogButtonBox::accepted, this, &CElectrodeDlg::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &CElectrodeDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_op = new DeviceOperation(this);
    m_op->SetLockedControls({m_valueEdit, m_okButton, m_cancelButton});
}

QString CElectrodeDlg::FormatCoefficientText(double coefficient) {
    return QString::asprintf("%0.8f", coefficient);
}

bool CElectrodeDlg::InitDialog() {
    // The dialog opens at once; the read runs behind it with the controls locked.
    // If no worker can be started the helper says "Nie można odczytać ustawień"
    // and the dialog stays open with an empty box.
    if (!m_driver) {
        ShowMessage(CannotReadText());
        return true;
    }
    m_coefficient = ElectrodeCoefficient();
    m_op->StartRead(
        [this, driver = m_driver] {
            ElectrodeCoefficient read;
            const bool answered = driver->ReadElectrodeCoefficient(read);
            m_coefficient = read;
            return answered && read.valid;
        },
        CannotReadText(), [this] { ShowReadValue(); });
    return true;
}

void CElectrodeDlg::ShowReadValue() {
    m_shownText = FormatCoefficientText(m_coefficient.coefficient);
    m_valueEdit->setText(m_shownText);
    m_valueEdit->setFocus();
    m_valueEdit->selectAll();
}

void CElectrodeDlg::OnOk() {
    if (m_op->IsBusy()) return;  // the opening read or a write still runs

    // Exact unless edited: the box shows only eight decimals of what the meter
    // holds. Left as shown, it stands for the value read, which the driver then
    // skips as unchanged; a typed text is read with a comma as the decimal sign
    // (no number is 0).
    const bool shown = !m_shownText.isEmpty() && m_coefficient.valid;
    const double value = NumberUnlessEdited(m_valueEdit->text(), shown ? &m_shownText : nullptr,
                                            m_coefficient.coefficient);
    m_coefficient.coefficient = value;
    m_coefficient.valid = true;
    // The value before is the one the opening read got from the meter.
    auto journal = std::make_shared<WorkerJournal>(m_journal);
    const QString failed = QStringLiteral("Nie można zapisać ustawień");
    m_op->Start({{[driver = m_driver, value, journal] {
                      if (!driver || !journal->Open()) return false;
                      const bool ok = journal->Take(
                          JournaledElectrodeCoefficient(journal->Get(), *driver, value));
                      journal->Close();
                      return ok;
                  },
                  failed, [journal, failed] { return journal->FailureText(failed); }}},
                nullptr, true);
}
