#include "service/widgets/panel_info_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "records/cp1250.h"
#include "session/meter_session.h"
#include "session/meter_texts.h"
#include "ui/ui_resources.h"

CPanelInfoDlg::CPanelInfoDlg(MeterSession* session, QWidget* parent)
    : MeterDialog(session, parent) {
    setWindowTitle(QStringLiteral("Informacje o panelu"));

    auto* picture = new QLabel(this);
    picture->setPixmap(AppIcon().pixmap(64, 64));
    picture->setFixedSize(64, 64);
    picture->setAccessibleName(QStringLiteral("Ikona programu"));

    m_textLabel = new QLabel(this);
    m_textLabel->setTextFormat(Qt::PlainText);
    m_textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_textLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_textLabel->setMinimumWidth(300);
    m_textLabel->setAccessibleName(windowTitle());

    auto* close = new QPushButton(QStringLiteral("Zamknij"), this);
    close->setAccessibleName(close->text());
    close->setDefault(true);
    close->setAutoDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->setSpacing(14);
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addWidget(m_textLabel, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CPanelInfoDlg::BuildText(const MeterCondition& condition, const SerialNumberData& serial,
                                 const MeterIdentity& identity, const StartupDate& date) {
    const QString model = FixedFieldToUnicode(identity.model, int(sizeof identity.model) - 1);
    const QString letter =
        identity.versionLetter ? Cp1250ToUnicode(QByteArray(1, identity.versionLetter)) : QString();
    QString text;
    text += QStringLiteral("Numer seryjny wilgotnościomierza: %1\n").arg(serial.serialNumber);
    text += QStringLiteral("Wersja wilgotnościomierza: ") + model + letter +
            QStringLiteral(" %1.%2\n").arg(identity.versionMajor).arg(identity.versionMinor);
    text += QStringLiteral("Data uruchamiania wilgotnościomierza: ") +
            QString::asprintf("%04d-%02d\n", int(date.year), int(date.month));
    MeterCondition c = condition;
    c.valid = true;  // the dialog opens only on a valid record
    for (const QString& f : MeterFaults(c, TemperatureReading())) text += f + QStringLiteral("!\n");
    return text;
}

bool CPanelInfoDlg::InitDialog() {
    // One snapshot: the status and every record from the same moment.
    const MeterSnapshot m = m_session ? m_session->Snapshot() : MeterSnapshot();
    // The startup date's own flag is not looked at.
    if (!m.linkUp() || !m.condition.valid || !m.serialNumber.valid || !m.identity.valid) {
        ShowMessage(CannotReadText());
        return false;
    }
    m_text = BuildText(m.condition, m.serialNumber, m.identity, m.startupDate);
    // The last line's "\n" would show as an empty line under the text.
    QString shown = m_text;
    if (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);
    m_textLabel->setText(shown);
    return true;
}
