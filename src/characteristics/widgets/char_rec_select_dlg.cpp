#include "characteristics/widgets/char_rec_select_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "records/char_rec_format.h"
#include "session/char_table.h"
#include "session/meter_session.h"
#include "ui/dialog_parts.h"
#include "ui/prompts.h"

CCharRecSelectDlg::CCharRecSelectDlg(MeterSession* session, QWidget* parent)
    : QDialog(parent), m_session(session) {
    setWindowTitle(QStringLiteral("Odczyt charakterystyki wybranego materiału"));
    auto* label = new QLabel(QStringLiteral("Numer charakterystyki:"), this);
    m_edit = new QLineEdit(this);
    m_edit->setAccessibleName(label->text());
    label->setBuddy(m_edit);
    auto* buttons = dialogparts::OkCancel(this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Anuluj"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CCharRecSelectDlg::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_edit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

int CCharRecSelectDlg::UpperBound() const {
    // The table never holds more than 150 slots.
    const int count = m_session ? m_session->SlotCount(CharTable::kMaxSlots) : -1;
    return count >= 0 ? count : CharTable::kMaxSlots;
}

void CCharRecSelectDlg::OnOk() {
    const int n = ParseInt(m_edit->text());
    const int upper = UpperBound();
    if (n < 1 || n > upper) {
        Prompts::instance().message(
            this,
            QStringLiteral("Numer charakterystyki powinien zawierać się w przedziale <1, %1>")
                .arg(upper),
            Prompts::Icon::Warning);
        m_edit->setFocus();
        return;
    }
    m_number = n;
    accept();
}
