#include "app/widgets/journal_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/widgets/journal_model.h"
#include "journal/journal_db.h"
#include "journal/journal_fields.h"
#include "session/meter_session.h"
#include "session/restore.h"
#include "ui/device_operation.h"
#include "ui/prompts.h"

JournalDlg::JournalDlg(const JournalSettings& settings, MeterSession* session, QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_session(session),
      m_serviceMode(session && session->ServiceMode()) {
    setWindowTitle(QStringLiteral("Historia zmian"));
    setAccessibleName(windowTitle());
    resize(820, 620);

    m_meter = new QComboBox(this);
    auto* meterLabel = new QLabel(QStringLiteral("Miernik:"), this);
    meterLabel->setBuddy(m_meter);
    m_meter->setAccessibleName(QStringLiteral("Miernik"));
    m_status = new QLabel(this);
    m_status->setAccessibleName(QStringLiteral("Dziennik zmian"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(meterLabel);
    filterRow->addWidget(m_meter);
    filterRow->addStretch(1);

    m_model = new JournalListModel(this);
    m_list = new QTableView(this);
    m_list->setModel(m_model);
    m_list->setAccessibleName(QStringLiteral("Zmiany"));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->setVisible(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 150);
    m_list->setColumnWidth(1, 150);
    m_list->setColumnWidth(2, 300);

    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_summary->setAccessibleName(QStringLiteral("Wpis"));
    m_details = new QTableWidget(0, 3, this);
    m_details->setHorizontalHeaderLabels(
        {QStringLiteral("Pole"), QStringLiteral("Przed"), QStringLiteral("Po")});
    m_details->setAccessibleName(QStringLiteral("Szczegóły wpisu"));
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->verticalHeader()->setVisible(false);
    m_details->horizontalHeader()->setStretchLastSection(true);
    m_details->setColumnWidth(0, 260);
    m_details->setColumnWidth(1, 250);
    auto* legend = new QLabel(QStringLiteral("Zmienione pola oznaczono gwiazdką (*)."), this);

    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addWidget(m_summary);
    lowerLayout->addWidget(m_details, 1);
    lowerLayout->addWidget(legend);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_list);
    split->addWidget(lower);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(QStringLiteral("Przywróć"), QDialogButtonBox::ActionRole);
    m_close = buttons->addButton(QStringLiteral("Zamknij"), QDialogButtonBox::RejectRole);
    m_restore->setAccessibleName(m_restore->text());
    m_close->setAccessibleName(m_close->text());
    m_restore->setEnabled(false);
    connect(m_restore, &QPushButton::clicked, this, &JournalDlg::OnRestore);
    connect(buttons, &QDialogButtonBox::rejected, this, &JournalDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(m_status);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);

    m_op = new DeviceOperation(this);
    m_op->SetLockedControls({m_meter, m_list, m_restore, m_close});

    QString error;
    m_db =
        JournalDb::Open(m_settings.path, JournalDb::Mode::Read, &error, m_settings.busyTimeoutMs);
    if (!m_db) m_status->setText(error);
    connect(m_meter, &QComboBox::currentIndexChanged, this, &JournalDlg::OnFilterChanged);
    Reload();
}

JournalDlg::~JournalDlg() = default;

std::optional<int> JournalDlg::ChosenSerial() const {
    const QVariant v = m_meter->currentData();
    return v.isValid() ? std::optional<int>(v.toInt()) : std::nullopt;
}

void JournalDlg::FillMeters() {
    const std::optional<int> chosen = ChosenSerial();
    const QSignalBlocker quiet(m_meter);
    m_meter->clear();
    m_meter->addItem(QStringLiteral("Wszystkie"));
    if (!m_db) return;
    QString error;
    for (int serial : m_db->Serials(&error)) {
        m_meter->addItem(QStringLiteral("nr %1").arg(serial), serial);
        if (chosen == serial) m_meter->setCurrentIndex(m_meter->count() - 1);
    }
}

void JournalDlg::Reload(int64_t selectId) {
    FillMeters();  // a restore may have brought a meter number the list lacks
    m_model->Load(m_db.get(), ChosenSerial());
    if (m_db) {
        QString error;
        const int64_t count = m_db->Count(ChosenSerial(), &error);
        m_status->setText(error.isEmpty() && m_model->LastError().isEmpty()
                              ? QStringLiteral("Wpisów: %1 (%2)").arg(count).arg(m_db->Path())
                              : (error.isEmpty() ? m_model->LastError() : error));
    }
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &JournalDlg::ShowSelected, Qt::UniqueConnection);
    const int row = selectId > 0 ? m_model->RowOf(selectId) : -1;
    SelectRow(row >= 0 ? row : 0);
    if (m_model->rowCount() == 0) ShowSelected();
}

void JournalDlg::SelectRow(int row) {
    if (row < 0 || row >= m_model->rowCount()) return;
    m_list->setCurrentIndex(m_model->index(row, 0));
    m_list->selectRow(row);
}

void JournalDlg::OnFilterChanged() {
    Reload();
}

void JournalDlg::ShowSelected() {
    m_details->setRowCount(0);
    m_summary->clear();
    m_restore->setEnabled(false);
    const JournalEntry* listed = m_model->EntryAt(m_list->currentIndex().row());
    if (!listed || !m_db) return;
    QString error;
    const auto entry = m_db->Get(listed->id, &error);
    if (!entry) {
        m_summary->setText(error);
        return;
    }
    QString summary = QStringLiteral("Wpis nr %1: %2, %3 (użytkownik %4), %5, %6.")
                          .arg(entry->id)
                          .arg(JournalTimeText(entry->timeMs), entry->program, entry->user,
                               MeterText(entry->meter), OutcomeText(*entry));
    if (entry->restoredFrom > 0)
        summary += QStringLiteral(" Przywraca wpis nr %1.").arg(entry->restoredFrom);
    if (!entry->message.isEmpty()) summary += QChar(' ') + entry->message;
    m_summary->setText(summary);
    const auto rows = JournalFieldRows(*entry, m_serviceMode);
    m_details->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const JournalFieldRow& r = rows[static_cast<size_t>(i)];
        const QString texts[] = {(r.changed ? QStringLiteral("* ") : QString()) + r.name, r.before,
                                 r.after};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (r.changed) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            m_details->setItem(i, c, item);
        }
    }
    m_restore->setEnabled(entry->before.has_value());
}

void JournalDlg::OnRestore() {
    if (m_op->IsBusy() || !m_db) return;
    const JournalEntry* listed = m_model->EntryAt(m_list->currentIndex().row());
    if (!listed) return;
    QString error;
    const auto entry = m_db->Get(listed->id, &error);
    if (!entry) {
        Prompts::instance().message(this, error, Prompts::Icon::Warning);
        return;
    }
    if (!m_session) {
        Prompts::instance().message(this, QStringLiteral("Brak komunikacji z urządzeniem."),
                                    Prompts::Icon::Warning);
        return;
    }
    QString why;
    if (CheckRestore(*entry, *m_session, &why) != RestoreRefusal::None) {
        Prompts::instance().message(this, why, Prompts::Icon::Warning);
        return;
    }
    // Only "Tak" writes; "Nie" and no answer leave the meter alone.
    if (Prompts::instance().question(this, RestoreQuestion(*entry)) != Prompts::Answer::Yes) return;
    // The worker opens the journal for itself: a connection belongs to its thread.
    auto result = std::make_shared<RestoreResult>();
    MeterSession* session = m_session;
    const JournalEntry chosen = *entry;
    m_op->StartRead(
        [result, session, chosen] {
            WriteBatch batch(*session);
            *result = RestoreEntry(batch, *session, chosen);
            return true;  // the outcome is shown below, with its own text
        },
        QStringLiteral("Nie można zapisać ustawień"),
        [this, result, id = chosen.id] {
            const WriteOutcome& o = result->outcome;
            if (o.status == WriteStatus::Confirmed) {
                QString text =
                    o.entryId > 0
                        ? QStringLiteral(
                              "Przywrócono wartość sprzed zmiany nr %1 "
                              "(nowy wpis nr %2).")
                              .arg(id)
                              .arg(o.entryId)
                        : QStringLiteral("Przywrócono wartość sprzed zmiany nr %1.").arg(id);
                // The write reached the meter, the journal could not say so.
                if (!o.message.isEmpty()) text += QChar('\n') + o.message;
                Prompts::instance().message(
                    this, text,
                    o.message.isEmpty() ? Prompts::Icon::Information : Prompts::Icon::Warning);
            } else {
                Prompts::instance().message(this, result->message,
                                            o.status == WriteStatus::Unchanged
                                                ? Prompts::Icon::Information
                                                : Prompts::Icon::Warning);
            }
            Reload(o.entryId > 0 ? o.entryId : id);
        });
}

void RunJournalDlg(QWidget* parent, MeterSession* session) {
    JournalDlg dlg(session->Journal(), session, parent);
    dlg.exec();
}
