#include "service/widgets/electrode_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "records/char_rec_format.h"
#include "session/meter_session.h"
#include "ui/device_operation.h"
#include "ui/dialog_parts.h"

using servicedialogs::LabelFor;

CElectrodeDlg::CElectrodeDlg(MeterSession* session, QWidget* parent)
    : MeterDialog(session, parent) {
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
    if (!m_session) {
        ShowMessage(CannotReadText());
        return true;
    }
    m_op->StartRead(
        [session = m_session] {
            ElectrodeCoefficient read;
            return session->ReadElectrodeCoefficient(&read);
        },
        CannotReadText(), [this] { ShowReadValue(); });
    return true;
}

void CElectrodeDlg::ShowReadValue() {
    m_shownText = FormatCoefficientText(m_session->LastElectrodeCoefficient().coefficient);
    m_valueEdit->setText(m_shownText);
    m_valueEdit->setFocus();
    m_valueEdit->selectAll();
}

void CElectrodeDlg::OnOk() {
    if (m_op->IsBusy()) return;  // the opening read or a write still runs

    // Exact unless edited: the box shows only eight decimals of what the meter
    // holds. Left as the read filled it, it stands for the value read, exactly,
    // also after a failed write of another value (the session keeps what was
    // read, never what was attempted); the write then sends nothing when the
    // meter holds it. A typed text is read with a comma as the decimal sign (no
    // number is 0).
    const ElectrodeCoefficient read =
        m_session ? m_session->LastElectrodeCoefficient() : ElectrodeCoefficient();
    const bool shown = !m_shownText.isEmpty() && read.valid;
    const double value =
        NumberUnlessEdited(m_valueEdit->text(), shown ? &m_shownText : nullptr, read.coefficient);
    StartWrites(m_op, {MeterWrite::ElectrodeCoefficient(value)});
}
