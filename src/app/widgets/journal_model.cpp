#include "app/widgets/journal_model.h"

#include "journal/journal_db.h"
#include "journal/journal_fields.h"

JournalListModel::JournalListModel(QObject* parent) : QAbstractTableModel(parent) {}

std::vector<JournalEntry> JournalListModel::NextPage() {
    if (!m_db) return {};
    JournalQuery q;
    q.serial = m_serial;
    q.limit = kPage;
    q.beforeId = m_rows.empty() ? 0 : m_rows.back().id;
    QString error;
    auto page = m_db->List(q, &error);
    if (!error.isEmpty()) m_error = error;
    m_more = error.isEmpty() && static_cast<int>(page.size()) == kPage;
    return page;
}

void JournalListModel::Load(const JournalDb* db, std::optional<int> serial) {
    beginResetModel();
    m_db = db;
    m_serial = serial;
    m_rows.clear();
    m_error.clear();
    m_rows = NextPage();
    endResetModel();
}

const JournalEntry* JournalListModel::EntryAt(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return nullptr;
    return &m_rows[static_cast<size_t>(row)];
}

int JournalListModel::RowOf(int64_t id) const {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

int JournalListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int JournalListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant JournalListModel::data(const QModelIndex& index, int role) const {
    const JournalEntry* e = EntryAt(index.row());
    if (!e || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) return QVariant();
    switch (index.column()) {
        case 0:
            return JournalTimeText(e->timeMs);
        case 1:
            return MeterText(e->meter);
        case 2:
            return TargetText(*e) +
                   (e->restoredFrom > 0
                        ? QStringLiteral(" (przywrócenie wpisu nr %1)").arg(e->restoredFrom)
                        : QString());
        case 3:
            return OutcomeText(*e);
        default:
            return QVariant();
    }
}

QVariant JournalListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    static const char* const titles[] = {"Data", "Miernik", "Zmiana", "Wynik"};
    if (section < 0 || section >= 4) return QVariant();
    return QString::fromUtf8(titles[section]);
}

bool JournalListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_more;
}

void JournalListModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || !m_more) return;
    auto page = NextPage();
    if (page.empty()) return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(page.size()) - 1);
    for (auto& e : page) m_rows.push_back(std::move(e));
    endInsertRows();
}
