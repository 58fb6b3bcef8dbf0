#include "service/widgets/serial_number_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "records/char_rec_format.h"
#include "records/cp1250.h"
#include "session/meter_session.h"
#include "session/service_limits.h"
#include "ui/device_operation.h"
#include "ui/dialog_parts.h"

using servicedialogs::LabelFor;

CSerialNumberDlg::CSerialNumberDlg(MeterSession* session, QWidget* parent)
    : MeterDialog(session, parent) {
    setWindowTitle(QStringLiteral("Numer seryjny"));

    m_serialEdit = new QLineEdit(this);
    m_serialEdit->setMaxLength(11);
    m_serialEdit->setMinimumWidth(180);
    m_letterEdit = new QLineEdit(this);
    m_letterEdit->setMaxLength(1);
    // Wide enough for a few characters, not the whole dialog.
    m_letterEdit->setFixedWidth(m_letterEdit->fontMetrics().horizontalAdvance(QLatin1Char('W')) *
                                4);

    auto* grid = new QGridLayout;
    grid->addWidget(LabelFor(QStringLiteral("Numer seryjny"), m_serialEdit, this), 0, 0);
    grid->addWidget(LabelFor(QStringLiteral("Wersja"), m_letterEdit, this), 0, 1);
    grid->addWidget(m_serialEdit, 1, 0);
    grid->addWidget(m_letterEdit, 1, 1, Qt::AlignLeft);
    grid->setColumnStretch(0, 1);

    auto* buttons = dialogparts::OkCancel(this);
    m_okButton = buttons->button(QDialogButtonBox::Ok);
    m_cancelButton = buttons->button(QDialogButtonBox::Cancel);
    m_okButton->setAccessibleName(m_okButton->text());
    m_cancelButton->setAccessibleName(m_cancelButton->text());
    connect(buttons, &QDialogButtonBox::accepted, this, &CSerialNumberDlg::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSerialNumberDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_op = new DeviceOperation(this);
    m_op->SetLockedControls({m_serialEdit, m_letterEdit, m_okButton, m_cancelButton});
}

bool CSerialNumberDlg::InitDialog() {
    // One snapshot: the number and the letter from the same moment.
    const MeterSnapshot m = m_session ? m_session->Snapshot() : MeterSnapshot();
    if (!m.linkUp() || !m.serialNumber.valid || !m.identity.valid) {
        ShowMessage(CannotReadText());
        return false;
    }
    m_serialEdit->setText(QString::number(m.serialNumber.serialNumber));
    // The letter is one byte of the meter's 8-bit code page.
    const char letter = m.identity.versionLetter;
    m_letterEdit->setText(letter ? Cp1250ToUnicode(QByteArray(1, letter)) : QString());
    m_serialEdit->setFocus();
    m_serialEdit->selectAll();
    return true;
}

void CSerialNumberDlg::OnOk() {
    if (m_op->IsBusy()) return;  // one write at a time

    const int serialNumber = ParseInt(m_serialEdit->text());
    const QString message = CheckSerialNumber(serialNumber);
    if (!message.isEmpty()) {
        ShowMessage(message);
        m_serialEdit->setFocus();
        return;
    }
    // Checked here too, so that a letter the session would refuse does not
    // stop the operation after the number went out.
    const char letter = VersionLetterFor(m_letterEdit->text());
    if (const QString refused = CheckVersionLetter(letter); !refused.isEmpty()) {
        ShowMessage(refused);
        m_letterEdit->setFocus();
        return;
    }
    // One batch, the number first: each entry is stored before its value is
    // sent, a value the meter holds already is not sent, and a failure of the
    // number keeps the letter from going out.
    StartWrites(m_op, {MeterWrite::SerialNumber(serialNumber), MeterWrite::VersionLetter(letter)});
}
