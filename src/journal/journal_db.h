#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "journal/journal_entry.h"

// Which entries a list shows: newest first, optionally of one meter, a page at a
// time (entries with an id below `beforeId`; 0 starts at the newest).
struct JournalQuery {
    std::optional<int> serial;
    int64_t beforeId = 0;
    int limit = 200;
};

// The journal database: an SQLite file in WAL mode, its schema version in a
// table of its own and upgraded by numbered migrations. One connection, used
// only on the thread that opened it (a rule of Qt Sql); every entry is its own
// transaction, so a crash leaves whole entries only.
//
// A file that cannot be used is never overwritten: one that is not SQLite at
// all, or written by a newer program, is refused and left as it is; a damaged
// one (an SQLite file that reads as corrupt or truncated) is moved aside under
// a name with the time, and, when opening for writing, a new one is started.
class JournalDb {
public:
    enum class Mode {
        Read,   // a missing file reads as an empty journal; nothing is created
        Write,  // the folder and the file are created when missing
    };

    static constexpr int kSchemaVersion = 2;
    static constexpr int kCompleteWaitFactor = 10;

    // Opens `path` on the calling thread. nullptr with `error` set (one Polish
    // sentence naming the file) when it cannot be used. Another program's lock
    // met on the way (connecting, the check, the schema version, write-ahead
    // logging, the migration: two programs creating a new journal at once) is
    // waited for and the opening tried again until `busyTimeoutMs` has passed.
    // To read, a journal whose -shm or -wal cannot be made (a full disk, a
    // read-only medium) is opened read-only without them. Every write a full
    // disk refuses, here or later, says so ("Brak miejsca na dysku...").
    static std::unique_ptr<JournalDb> Open(const QString& path, Mode mode, QString* error,
                                           int busyTimeoutMs = 3000);
    ~JournalDb();
    JournalDb(const JournalDb&) = delete;
    JournalDb& operator=(const JournalDb&) = delete;

    QString Path() const { return m_path; }

    // Stores the entry as pending with the current time; its id, or 0 with
    // `error` set.
    int64_t AddPending(const JournalEntry& entry, QString* error);
    // Completes a pending entry. The meter has been written by then, so a lock
    // of another program is waited out for up to kCompleteWaitFactor times the
    // busy time-out before the entry is left pending and `error` set.
    bool Complete(int64_t id, JournalOutcome outcome, const QString& message, QString* error);

    // Entries without their values (before and after are left empty).
    std::vector<JournalEntry> List(const JournalQuery& query, QString* error) const;
    // One entry with its values; nullopt when there is none with that id (or on
    // an error, then `error` is set).
    std::optional<JournalEntry> Get(int64_t id, QString* error) const;
    // Serial numbers of the meters that have entries, ascending.
    std::vector<int> Serials(QString* error) const;
    int64_t Count(std::optional<int> serial, QString* error) const;

    // The schema version a file of this journal has (0 for a new file).
    int SchemaVersion() const { return m_version; }

private:
    // How a step of opening ended.
    enum class Step {
        Done,
        Busy,     // SQLite answered busy or locked: worth trying again
        Damaged,  // the file reads as damaged
        Failed,   // any other reason, told in the error
    };

    JournalDb() = default;
    Step OpenWaiting(Mode mode, QString* error);
    bool OpenReadOnly();
    Step Connect(const QString& name, const QString& options, QString* error);
    Step Migrate(Mode mode, QString* error);
    void Disconnect();
    Step Failure(const QString& what, const QSqlError& e, QString* error);
    static std::optional<int> ReadVersion(QSqlQuery& q);
    void SetSync(bool full);
    QString SqlErrorText(const QString& what, int nativeCode, const QString& driverText) const;

    QString m_path;
    QString m_connection;
    QSqlDatabase m_db;
    int m_busyTimeoutMs = 3000;
    bool m_empty = false;     // read mode, no file: every query answers nothing
    bool m_readOnly = false;  // read mode without side files (full disk, read-only medium)
    int m_failCode = 0;       // SQLite's primary code of the last failure while opening
    int m_version = 0;
    bool m_syncFull = true;   // PRAGMA synchronous of the connection: FULL or NORMAL
    bool m_unsynced = false;  // a completion was committed without a sync
};

// "<path>.uszkodzony-RRRRMMDD-GGMMSS": where a damaged journal is moved to.
QString DamagedJournalName(const QString& path, const QDateTime& when);
