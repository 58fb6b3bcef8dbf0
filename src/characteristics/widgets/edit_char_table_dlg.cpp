#include "characteristics/widgets/edit_char_table_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "records/char_rec_format.h"
#include "ui/dialog_parts.h"

#include <cfloat>

namespace {
// A number as the meter keeps it, in single precision; beyond the float range
// it is held at the largest finite float instead of overflowing.
double ToSingle(double v) {
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(v);
}
}  // namespace

CEditCharTableDlg::CEditCharTableDlg(double humidity, double value, QWidget* parent)
    : QDialog(parent), m_humidity(humidity), m_value(value) {
    setWindowTitle(QStringLiteral("Wartość tabeli charakterystyki"));
    m_shownHumidity = FormatHumidity(humidity);
    m_shownValue = FormatValue(value);
    m_humidityEdit = new QLineEdit(m_shownHumidity, this);
    m_humidityEdit->setAccessibleName(QStringLiteral("Wilgotność"));
    m_valueEdit = new QLineEdit(m_shownValue, this);
    m_valueEdit->setAccessibleName(QStringLiteral("Wartość"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Wilgotność"), m_humidityEdit);
    form->addRow(QStringLiteral("Wartość"), m_valueEdit);

    auto* buttons = dialogparts::OkCancel(this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Anuluj"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CEditCharTableDlg::OnOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_humidityEdit->selectAll();
}

void CEditCharTableDlg::OnOk() {
    // Exact unless edited: a number left as shown keeps its value; a typed one
    // is kept in single precision, as the meter will hold it.
    auto read = [](const QString& text) { return ToSingle(ParseNumber(text)); };
    m_humidity = ExactUnlessEdited(m_humidityEdit->text(), &m_shownHumidity, m_humidity, read);
    m_value = ExactUnlessEdited(m_valueEdit->text(), &m_shownValue, m_value, read);
    accept();
}
