#include "service/widgets/cal_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "records/char_rec_format.h"
#include "session/meter_session.h"
#include "session/service_limits.h"
#include "ui/device_operation.h"
#include "ui/dialog_parts.h"

using servicedialogs::LabelFor;

CCalDlg::CCalDlg(MeterSession* session, QWidget* parent) : MeterDialog(session, parent) {
    setWindowTitle(QStringLiteral("Data uruchamiania"));

    auto* group = new QGroupBox(QStringLiteral("Data uruchamiania"), this);
    m_yearEdit = new QLineEdit(group);
    m_monthEdit = new QLineEdit(group);
    m_yearEdit->setMaxLength(10);
    m_monthEdit->setMaxLength(10);
    auto* grid = new QGridLayout(group);
    grid->addWidget(LabelFor(QStringLiteral("Rok"), m_yearEdit, group), 0, 0);
    grid->addWidget(LabelFor(QStringLiteral("Miesiąc"), m_monthEdit, group), 0, 1);
    grid->addWidget(m_yearEdit, 1, 0);
    grid->addWidget(m_monthEdit, 1, 1);

    auto* buttons = dialogparts::OkCancel(this);
    m_okButton = buttons->button(QDialogButtonBox::Ok);
    m_cancelButton = buttons->button(QDialogButtonBox::Cancel);
    m_okButton->setAccessibleName(m_okButton->text());
    m_cancelButton->setAccessibleName(m_cancelButton->text());
    connect(buttons, &QDialogButtonBox::accepted, this, &CCalDlg::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCalDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_op = new DeviceOperation(this);
    m_op->SetLockedControls({m_yearEdit, m_monthEdit, m_okButton, m_cancelButton});
}

bool CCalDlg::InitDialog() {
    const MeterSnapshot m = m_session ? m_session->Snapshot() : MeterSnapshot();
    if (!m.linkUp() || !m.startupDate.valid) {
        ShowMessage(CannotReadText());
        return false;
    }
    m_yearEdit->setText(QString::number(m.startupDate.year));
    m_monthEdit->setText(QString::number(m.startupDate.month));
    m_yearEdit->setFocus();
    m_yearEdit->selectAll();
    return true;
}

void CCalDlg::OnOk() {
    if (m_op->IsBusy()) return;  // one write at a time

    // Both ranges are checked on the numbers as typed, before narrowing.
    const int year = ParseInt(m_yearEdit->text());
    const int month = ParseInt(m_monthEdit->text());
    StartupDateField wrong = StartupDateField::None;
    const QString message = CheckStartupDate(year, month, &wrong);
    if (!message.isEmpty()) {
        ShowMessage(message);
        (wrong == StartupDateField::Year ? m_yearEdit : m_monthEdit)->setFocus();
        return;
    }
    // A date the meter holds already is not sent; the dialog closes all the same.
    StartWrites(m_op, {MeterWrite::StartupDate(year, month)});
}
