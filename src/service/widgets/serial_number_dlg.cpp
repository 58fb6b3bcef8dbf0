#include "service/widgets/serial_number_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "meter/kv60x_driver.h"
#include "records/char_rec_format.h"
#include "records/cp1250.h"
#include "session/service_limits.h"
#include "ui/device_operation.h"
#include "ui/dialog_parts.h"

using servicedialogs::LabelFor;

CSerialNumberDlg::CSerialNumberDlg(Ckv60xDriver* driver, QWidget* parent)
    : MeterDialog(driver, parent) {
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
    SerialNumberData serial;
    if (!m_driver || !m_driver->GetSerialNumber(serial) || !serial.valid) {
        ShowMessage(CannotReadText());
        return false;
    }
    m_serialEdit->setText(QString::number(serial.serialNumber));

    MeterIdentity identity;
    if (!m_driver->GetIdentity(identity) || !identity.valid) {
        ShowMessage(CannotReadText());
        return false;
    }
    // The letter is one byte of the meter's 8-bit code page.
    m_letterEdit->setText(identity.versionLetter
                              ? Cp1250ToUnicode(QByteArray(1, identity.versionLetter))
                              : QString());
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
    m_serialNumber = serialNumber;
    m_letter = VersionLetterFor(m_letterEdit->text());

    Ckv60xDriver* driver = m_driver;
    const int number = m_serialNumber;
    const char versionLetter = m_letter;
    // One journal for both writes, each its own entry stored before it is sent.
    auto journal = std::make_shared<WorkerJournal>(m_journal);
    const QString serialFailed = QStringLiteral("Nie można ustawić numeru seryjnego");
    const QString letterFailed = QStringLiteral("Nie można zapisać typu panelu");
    m_op->Start(
        {{[driver, number, journal] {
              if (!journal->Open()) return false;
              return journal->Take(JournaledSerialNumber(journal->Get(), *driver, number));
          },
          serialFailed, [journal, serialFailed] { return journal->FailureText(serialFailed); }},
         {[driver, versionLetter, journal] {
              const bool ok =
                  journal->Take(JournaledVersionLetter(journal->Get(), *driver, versionLetter));
              journal->Close();
              return ok;
          },
          letterFailed, [journal, letterFailed] { return journal->FailureText(letterFailed); }}},
        nullptr, true);
}
