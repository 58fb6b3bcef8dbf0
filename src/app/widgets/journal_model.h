#pragma once

#include <QAbstractTableModel>
#include <optional>
#include <vector>

#include "journal/journal_entry.h"

class JournalDb;

// The list of the history window: entries newest first, fetched a page at a
// time as the view scrolls, so a journal of any length opens at once. Columns:
// "Data", "Miernik", "Zmiana", "Wynik". Entries carry no values (see Get).
class JournalListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPage = 200;

    explicit JournalListModel(QObject* parent = nullptr);

    // The journal read (not owned; nullptr: empty) and the meter shown (nullopt:
    // every meter). Reloads from the newest entry.
    void Load(const JournalDb* db, std::optional<int> serial);
    // The message of the last failed query, empty when none.
    QString LastError() const { return m_error; }

    const JournalEntry* EntryAt(int row) const;
    // The row of the entry with this id among those fetched; -1 when none.
    int RowOf(int64_t id) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    std::vector<JournalEntry> NextPage();

    const JournalDb* m_db = nullptr;
    std::optional<int> m_serial;
    std::vector<JournalEntry> m_rows;
    bool m_more = false;
    QString m_error;
};
