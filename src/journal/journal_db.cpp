#include "journal/journal_db.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <atomic>

namespace {

// SQLite's primary result codes that decide how a failure is told.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteIoErr = 10;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteFull = 13;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADb = 26;

constexpr char kMagic[] = "SQLite format 3";  // and its terminating zero: 16 bytes
constexpr qint64 kWalHeaderSize = 32;         // a write-ahead log without frames

int NativeCode(const QSqlError& e) {
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xFF) : -1;
}

// One numbered step of the schema. Each runs in one transaction together with
// the new version number, so a file is always at a whole version.
struct Migration {
    int version;
    std::vector<const char*> statements;
};

const std::vector<Migration>& Migrations() {
    static const std::vector<Migration> migrations = {
        {1,
         {"CREATE TABLE journal_schema (version INTEGER NOT NULL)",
          "INSERT INTO journal_schema (version) VALUES (0)",
          "CREATE TABLE entries ("
          " id INTEGER PRIMARY KEY AUTOINCREMENT,"
          " time_ms INTEGER NOT NULL,"
          " program TEXT NOT NULL,"
          " user_name TEXT NOT NULL,"
          " meter_model TEXT NOT NULL,"
          " meter_letter TEXT NOT NULL,"
          " meter_serial INTEGER,"
          " meter_version TEXT NOT NULL,"
          " target TEXT NOT NULL,"
          " slot INTEGER,"
          " before BLOB,"
          " after BLOB NOT NULL,"
          " outcome TEXT NOT NULL,"
          " completed_ms INTEGER,"
          " message TEXT NOT NULL DEFAULT '')"}},
        // A restore names the entry it brought back; lists by meter use an index.
        {2,
         {"ALTER TABLE entries ADD COLUMN restored_from INTEGER",
          "CREATE INDEX entries_by_meter ON entries (meter_serial, id)"}},
    };
    return migrations;
}

const char kListColumns[] =
    "id, time_ms, program, user_name, meter_model, meter_letter, meter_serial, meter_version,"
    " target, slot, outcome, completed_ms, message, restored_from";

// Fills the listed columns (kListColumns order) of one row. A kind or an
// outcome this program does not know is kept as stored in `unknown`.
void ReadRow(const QSqlQuery& q, JournalEntry* e) {
    const QString targetKey = q.value(8).toString();
    const QString outcomeKey = q.value(10).toString();
    const auto target = TargetFromKey(targetKey);
    const auto outcome = OutcomeFromKey(outcomeKey);
    if (!target || !outcome) {
        e->unknown = JournalUnknown();
        e->unknown->targetKey = targetKey;
        e->unknown->outcomeKey = outcomeKey;
    }
    e->id = q.value(0).toLongLong();
    e->timeMs = q.value(1).toLongLong();
    e->program = q.value(2).toString();
    e->user = q.value(3).toString();
    e->meter.model = q.value(4).toString();
    e->meter.letter = q.value(5).toString();
    if (!q.value(6).isNull()) e->meter.serial = q.value(6).toInt();
    e->meter.version = q.value(7).toString();
    if (target) e->target = *target;
    e->slot = q.value(9).isNull() ? -1 : q.value(9).toInt();
    if (outcome) e->outcome = *outcome;
    e->completedMs = q.value(11).isNull() ? 0 : q.value(11).toLongLong();
    e->message = q.value(12).toString();
    e->restoredFrom = q.value(13).isNull() ? 0 : q.value(13).toLongLong();
}

enum class FileCheck { Usable, NotSqlite, Damaged };

// Looks at the file itself before SQLite does: its first bytes must be SQLite's,
// and when SQLite's own page count is valid and no write-ahead log holds more
// pages, the file must be as long as that count says.
FileCheck CheckFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return FileCheck::Usable;  // SQLite reports it
    const QByteArray head = f.read(100);
    const qint64 size = f.size();
    if (head.isEmpty()) return FileCheck::Usable;  // an empty file is a new database
    const QByteArray magic(kMagic, sizeof kMagic);
    if (!head.startsWith(magic.left(head.size()))) return FileCheck::NotSqlite;
    if (head.size() < 100) return FileCheck::Damaged;
    auto be32 = [&head](int at) {
        return (static_cast<uint32_t>(static_cast<uint8_t>(head[at])) << 24) |
               (static_cast<uint32_t>(static_cast<uint8_t>(head[at + 1])) << 16) |
               (static_cast<uint32_t>(static_cast<uint8_t>(head[at + 2])) << 8) |
               static_cast<uint32_t>(static_cast<uint8_t>(head[at + 3]));
    };
    uint32_t pageSize = (static_cast<uint32_t>(static_cast<uint8_t>(head[16])) << 8) |
                        static_cast<uint8_t>(head[17]);
    if (pageSize == 1) pageSize = 65536;
    const uint32_t pages = be32(28);
    const bool countValid = pages != 0 && be32(24) == be32(92);
    if (countValid && !QFileInfo::exists(path + QStringLiteral("-wal")) &&
        size < static_cast<qint64>(pages) * pageSize) {
        return FileCheck::Damaged;
    }
    return FileCheck::Usable;
}

// A file nobody may write to (by its mode bits; the user's own rights are
// left to SQLite) was made read-only on purpose.
bool ReadOnlyByPermissions(const QString& path) {
    const QFileDevice::Permissions p = QFileInfo(path).permissions();
    return !(p & (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther));
}

// Moves the damaged file and its write-ahead log aside. The new name, or empty.
QString MoveAside(const QString& path) {
    const QString target = DamagedJournalName(path, QDateTime::currentDateTime());
    if (!QFile::rename(path, target)) return QString();
    for (const char* side : {"-wal", "-shm"}) {
        const QString from = path + QLatin1String(side);
        if (QFileInfo::exists(from)) QFile::rename(from, target + QLatin1String(side));
    }
    return target;
}

// SQLite tells a full disk met while writing as SQLITE_FULL, but one met while
// creating a file (the journal, its -wal or -shm) or growing the shared-memory
// index as "cannot open" or an I/O error, without the system's reason. Those
// count as a full disk when the file system that holds (or would hold) `path`
// has no room for another file or for kRoomNeeded bytes, the most SQLite adds
// at once (a 32 KiB region of the index, then a page of the log).
constexpr unsigned long long kRoomNeeded = 64 * 1024;

bool NoRoomFor(const QString& path) {
    QString folder = QFileInfo(path).absolutePath();
    while (!QFileInfo::exists(folder)) {
        const QString up = QFileInfo(folder).absolutePath();
        if (up == folder) break;
        folder = up;
    }
    struct statvfs fs {};
    if (statvfs(QFile::encodeName(folder).constData(), &fs) != 0) return false;
    // The blocks kept for the superuser are room for the superuser only.
    const bool root = geteuid() == 0;
    const unsigned long long blocks = root ? fs.f_bfree : fs.f_bavail;
    if (blocks * fs.f_frsize < kRoomNeeded) return true;
    return fs.f_files > 0 && (root ? fs.f_ffree : fs.f_favail) == 0;
}

std::atomic<int> g_connections{0};

// Texts are bound never as NULL: the columns hold an empty text for "none".
QString NotNull(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

}  // namespace

QString DamagedJournalName(const QString& path, const QDateTime& when) {
    return path + QStringLiteral(".uszkodzony-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

std::unique_ptr<JournalDb> JournalDb::Open(const QString& path, Mode mode, QString* error,
                                           int busyTimeoutMs) {
    std::unique_ptr<JournalDb> db(new JournalDb);
    db->m_path = path;
    const QFileInfo info(path);
    if (path.isEmpty() || info.isDir()) {
        *error = QStringLiteral("Nieprawidłowy plik dziennika zmian: %1").arg(path);
        return nullptr;
    }
    FileCheck check = FileCheck::Usable;
    if (!info.exists()) {
        if (mode == Mode::Read) {
            db->m_empty = true;
            return db;
        }
        if (!QDir().mkpath(info.absolutePath())) {
            *error = QStringLiteral("Nie można utworzyć folderu dziennika zmian %1").arg(path);
            if (NoRoomFor(path)) *error = db->SqlErrorText(QString(), kSqliteFull, QString());
            return nullptr;
        }
    } else if (!info.isFile()) {
        // A device or a pipe would block or be written over: never a journal.
        *error = QStringLiteral("Plik %1 nie jest zwykłym plikiem; nie może być dziennikiem zmian.")
                     .arg(path);
        return nullptr;
    } else {
        check = CheckFile(path);
        if (check == FileCheck::NotSqlite) {
            *error = QStringLiteral(
                         "Plik %1 nie jest dziennikiem zmian (to nie jest baza danych SQLite); "
                         "pozostawiono go bez zmian.")
                         .arg(path);
            return nullptr;
        }
        if (mode == Mode::Write && ReadOnlyByPermissions(path)) {
            *error = QStringLiteral("Dziennik zmian %1 jest tylko do odczytu.").arg(path);
            return nullptr;
        }
    }
    QString failure;
    bool damaged = check == FileCheck::Damaged;
    if (!damaged) {
        db->m_busyTimeoutMs = busyTimeoutMs;
        const Step step = db->OpenWaiting(mode, &failure);
        if (step == Step::Done) return db;
        damaged = step == Step::Damaged;
    }
    if (!damaged) {
        *error = failure;
        return nullptr;
    }
    db.reset();  // closes the connection before the file moves
    if (mode == Mode::Read) {
        *error = QStringLiteral("Dziennik zmian %1 jest uszkodzony.").arg(path);
        return nullptr;
    }
    const QString aside = MoveAside(path);
    if (aside.isEmpty()) {
        *error =
            QStringLiteral("Dziennik zmian %1 jest uszkodzony i nie można go przenieść.").arg(path);
        return nullptr;
    }
    // Start the new journal now, so that the next write finds it ready; this
    // write stops here all the same, so that the user learns of the move first.
    QString fresh;
    const bool started = Open(path, Mode::Write, &fresh, busyTimeoutMs) != nullptr;
    *error =
        QStringLiteral("Dziennik zmian %1 był uszkodzony; przeniesiono go do %2").arg(path, aside) +
        (started ? QStringLiteral(" i założono nowy.") : QStringLiteral(". ") + fresh);
    return nullptr;
}

JournalDb::~JournalDb() {
    // A completion committed without its own sync reaches the disk now: a
    // checkpoint syncs the log first.
    if (m_unsynced && !m_connection.isEmpty())
        QSqlQuery(m_db).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    Disconnect();
}

void JournalDb::Disconnect() {
    if (m_connection.isEmpty()) return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
}

QString JournalDb::SqlErrorText(const QString& what, int nativeCode,
                                const QString& driverText) const {
    switch (nativeCode) {
        case kSqliteBusy:
        case kSqliteLocked:
            return QStringLiteral("Dziennik zmian %1 jest zablokowany przez inny program.")
                .arg(m_path);
        case kSqliteReadOnly:
            return QStringLiteral("Dziennik zmian %1 jest tylko do odczytu.").arg(m_path);
        case kSqliteFull:
            return QStringLiteral("Brak miejsca na dysku dla dziennika zmian %1.").arg(m_path);
        case kSqliteIoErr:
        case kSqliteCantOpen:
            if (NoRoomFor(m_path)) return SqlErrorText(what, kSqliteFull, driverText);
            if (nativeCode == kSqliteCantOpen)
                return QStringLiteral("Nie można otworzyć dziennika zmian %1.").arg(m_path);
            break;
        default:
            break;
    }
    return QStringLiteral("Błąd dziennika zmian %1 (%2: %3).").arg(m_path, what, driverText);
}

// Tells how a statement failed: busy, damage, or a reason set in `error`.
JournalDb::Step JournalDb::Failure(const QString& what, const QSqlError& e, QString* error) {
    const int code = NativeCode(e);
    m_failCode = code;
    *error = SqlErrorText(what, code, e.text());
    if (code == kSqliteBusy || code == kSqliteLocked) return Step::Busy;
    if (code == kSqliteCorrupt || code == kSqliteNotADb) return Step::Damaged;
    return Step::Failed;
}

// Connects and brings the schema up to date. While SQLite answers busy or
// locked (another program is creating, migrating or writing the journal; some
// of these SQLite reports at once, without waiting itself, to avoid a
// deadlock) it starts again from a new connection, until the busy time-out
// has passed.
JournalDb::Step JournalDb::OpenWaiting(Mode mode, QString* error) {
    QElapsedTimer since;
    since.start();
    Step step = Step::Failed;
    for (int attempt = 1;; ++attempt) {
        m_failCode = 0;
        step = Connect(m_path, QString(), error);
        if (step == Step::Done) step = Migrate(mode, error);
        if (step != Step::Busy) break;
        const qint64 left = m_busyTimeoutMs - since.elapsed();
        if (left <= 0) break;
        Disconnect();
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>({5LL * attempt, 50, left})));
    }
    const bool sideFiles = m_failCode == kSqliteIoErr || m_failCode == kSqliteCantOpen ||
                           m_failCode == kSqliteReadOnly || m_failCode == kSqliteFull;
    if (step == Step::Done || mode != Mode::Read || !sideFiles) return step;
    Disconnect();
    return OpenReadOnly() ? Step::Done : step;
}

// A journal to be read whose side files cannot be made or grown (a full disk,
// a read-only medium) is read without writing anything: first with the shared
// index opened read-only, which still sees entries only in the write-ahead
// log; else as an unchanging file, which SQLite reads without locks and
// without the log, so only when the log holds no entries.
bool JournalDb::OpenReadOnly() {
    const QString uri =
        QUrl::fromLocalFile(QFileInfo(m_path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    QStringList ways = {uri + QStringLiteral("?readonly_shm=1")};
    const QFileInfo log(m_path + QStringLiteral("-wal"));
    if (!log.exists() || log.size() <= kWalHeaderSize) ways << uri + QStringLiteral("?immutable=1");
    m_readOnly = true;
    for (const QString& name : ways) {
        QString ignored;
        if (Connect(name, QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"), &ignored) ==
                Step::Done &&
            Migrate(Mode::Read, &ignored) == Step::Done)
            return true;
        Disconnect();
    }
    m_readOnly = false;
    return false;
}

// Opens the connection to `name` (the path or an SQLite URI). On damage
// returns Step::Damaged.
JournalDb::Step JournalDb::Connect(const QString& name, const QString& options, QString* error) {
    m_connection = QStringLiteral("kv60x_journal_%1").arg(++g_connections);
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!m_db.isValid()) {
        *error = QStringLiteral(
            "Brak sterownika SQLite (QSQLITE) dla dziennika zmian: zainstaluj pakiet "
            "libqt6sql6-sqlite.");
        return Step::Failed;
    }
    m_db.setDatabaseName(name);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs) +
                           options);
    if (!m_db.open()) {
        const Step step = Failure(QStringLiteral("open"), m_db.lastError(), error);
        return step == Step::Busy ? step : Step::Failed;
    }
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("PRAGMA synchronous=FULL")))
        return Failure(QStringLiteral("pragma"), q.lastError(), error);
    return Step::Done;
}

// The schema version of the open file: 0 for a file without tables, -1 for a
// database of another program; nullopt when it cannot be read.
std::optional<int> JournalDb::ReadVersion(QSqlQuery& q) {
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        return std::nullopt;
    QStringList tables;
    while (q.next()) tables << q.value(0).toString();
    if (tables.isEmpty()) return 0;
    if (!tables.contains(QStringLiteral("journal_schema"))) return -1;
    if (!q.exec(QStringLiteral("SELECT version FROM journal_schema")) || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

// Brings the schema to kSchemaVersion.
JournalDb::Step JournalDb::Migrate(Mode mode, QString* error) {
    QSqlQuery q(m_db);
    // An I/O error while reading is taken for damage, unless the disk is full
    // (SQLite could not make its index): that is no reason to move the file.
    auto fail = [&](const QString& what) {
        const Step step = Failure(what, q.lastError(), error);
        const bool damage = m_failCode == kSqliteIoErr && !NoRoomFor(m_path);
        return step == Step::Failed && damage ? Step::Damaged : step;
    };
    // Before anything is written, the whole file is checked (about 60 ms for
    // 100 000 entries); reading leaves that to the queries, which report
    // damage they meet, so the history opens at once.
    if (mode == Mode::Write) {
        if (!q.exec(QStringLiteral("PRAGMA quick_check(1)"))) return fail(QStringLiteral("check"));
        if (!q.next() || q.value(0).toString() != QLatin1String("ok")) return Step::Damaged;
    }
    auto version = ReadVersion(q);
    if (!version) return fail(QStringLiteral("schema"));
    if (*version < 0) {
        *error = QStringLiteral(
                     "Plik %1 jest bazą danych innego programu, nie dziennikiem zmian; "
                     "pozostawiono go bez zmian.")
                     .arg(m_path);
        return Step::Failed;
    }
    if (*version > kSchemaVersion) {
        *error = QStringLiteral(
                     "Dziennik zmian %1 pochodzi z nowszej wersji programu (schemat %2, ten "
                     "program zna %3); pozostawiono go bez zmian.")
                     .arg(m_path)
                     .arg(*version)
                     .arg(kSchemaVersion);
        return Step::Failed;
    }
    if (m_readOnly) {
        // Nothing may be written: a file without tables reads as empty, and
        // one of an older schema is not read (the queries need the new one).
        if (*version != 0 && *version != kSchemaVersion) return Step::Failed;
        m_empty = *version == 0;
        m_version = *version;
        return Step::Done;
    }
    // Only now, with the file known to be a journal (or empty), is it put in
    // WAL mode, which changes its header.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) return fail(QStringLiteral("wal"));
    if (*version == kSchemaVersion) {
        m_version = kSchemaVersion;
        return Step::Done;
    }
    // Upgrading under the write lock, the version read again: two programs
    // opening a new journal at once must not both create it.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) return fail(QStringLiteral("begin"));
    auto abandon = [&](const QString& what) {
        const Step step = fail(what);
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        return step;
    };
    version = ReadVersion(q);
    if (!version || *version < 0 || *version > kSchemaVersion)
        return abandon(QStringLiteral("schema"));
    for (const Migration& m : Migrations()) {
        if (m.version <= *version) continue;
        for (const char* statement : m.statements) {
            if (!q.exec(QString::fromLatin1(statement)))
                return abandon(QStringLiteral("migration %1").arg(m.version));
        }
        if (!q.exec(QStringLiteral("UPDATE journal_schema SET version = %1").arg(m.version)))
            return abandon(QStringLiteral("migration %1").arg(m.version));
    }
    if (!q.exec(QStringLiteral("COMMIT"))) return abandon(QStringLiteral("commit"));
    m_version = kSchemaVersion;
    return Step::Done;
}

// A pending entry is synced to the disk before it counts as stored, since the
// meter is written only after it. A completion is committed without a sync of
// its own: the next entry's sync (or the closing checkpoint) takes it along,
// which halves the syncs of a table write. Only an operating-system crash in
// between could lose a completion, and the entry then says "pending", which is
// still true to what is known.
void JournalDb::SetSync(bool full) {
    if (m_syncFull == full) return;
    QSqlQuery q(m_db);
    if (q.exec(full ? QStringLiteral("PRAGMA synchronous=FULL")
                    : QStringLiteral("PRAGMA synchronous=NORMAL")))
        m_syncFull = full;
}

int64_t JournalDb::AddPending(const JournalEntry& e, QString* error) {
    if (m_empty) {
        *error = QStringLiteral("Dziennik zmian %1 otwarto tylko do odczytu.").arg(m_path);
        return 0;
    }
    SetSync(true);
    m_unsynced = false;  // this commit syncs the log, earlier completions with it
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral(
        "INSERT INTO entries (time_ms, program, user_name, meter_model, meter_letter,"
        " meter_serial, meter_version, target, slot, before, after, outcome, restored_from)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'pending', ?)"));
    q.addBindValue(QDateTime::currentMSecsSinceEpoch());
    q.addBindValue(NotNull(e.program));
    q.addBindValue(NotNull(e.user));
    q.addBindValue(NotNull(e.meter.model));
    q.addBindValue(NotNull(e.meter.letter));
    q.addBindValue(e.meter.serial ? QVariant(*e.meter.serial)
                                  : QVariant(QMetaType(QMetaType::Int)));
    q.addBindValue(NotNull(e.meter.version));
    q.addBindValue(TargetKey(e.target));
    q.addBindValue(e.slot >= 0 ? QVariant(e.slot) : QVariant(QMetaType(QMetaType::Int)));
    q.addBindValue(e.before ? QVariant(*e.before) : QVariant(QMetaType(QMetaType::QByteArray)));
    q.addBindValue(e.after.isNull() ? QByteArray("") : e.after);
    q.addBindValue(e.restoredFrom > 0 ? QVariant(static_cast<qlonglong>(e.restoredFrom))
                                      : QVariant(QMetaType(QMetaType::LongLong)));
    if (!q.exec()) {
        *error =
            SqlErrorText(QStringLiteral("insert"), NativeCode(q.lastError()), q.lastError().text());
        return 0;
    }
    return q.lastInsertId().toLongLong();
}

bool JournalDb::Complete(int64_t id, JournalOutcome outcome, const QString& message,
                         QString* error) {
    SetSync(false);
    m_unsynced = true;
    QElapsedTimer since;
    since.start();
    for (;;) {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral(
            "UPDATE entries SET outcome = ?, completed_ms = ?, message = ? WHERE id = ?"));
        q.addBindValue(OutcomeKey(outcome));
        q.addBindValue(QDateTime::currentMSecsSinceEpoch());
        q.addBindValue(NotNull(message));
        q.addBindValue(static_cast<qlonglong>(id));
        if (q.exec()) return true;
        // Each try has waited up to the busy time-out inside SQLite already;
        // the pause keeps a lock SQLite reports at once from being hammered.
        const int code = NativeCode(q.lastError());
        if ((code != kSqliteBusy && code != kSqliteLocked) ||
            since.elapsed() >= static_cast<qint64>(kCompleteWaitFactor) * m_busyTimeoutMs) {
            *error = SqlErrorText(QStringLiteral("update"), code, q.lastError().text());
            return false;
        }
        QThread::msleep(10);
    }
}

std::vector<JournalEntry> JournalDb::List(const JournalQuery& query, QString* error) const {
    std::vector<JournalEntry> out;
    if (m_empty) return out;
    QString sql = QStringLiteral("SELECT %1 FROM entries").arg(QLatin1String(kListColumns));
    QStringList where;
    if (query.serial) where << QStringLiteral("meter_serial = :serial");
    if (query.beforeId > 0) where << QStringLiteral("id < :before");
    if (!where.isEmpty()) sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY id DESC LIMIT :limit");
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(sql);
    if (query.serial) q.bindValue(QStringLiteral(":serial"), *query.serial);
    if (query.beforeId > 0)
        q.bindValue(QStringLiteral(":before"), static_cast<qlonglong>(query.beforeId));
    q.bindValue(QStringLiteral(":limit"), query.limit > 0 ? query.limit : -1);
    if (!q.exec()) {
        *error =
            SqlErrorText(QStringLiteral("list"), NativeCode(q.lastError()), q.lastError().text());
        return out;
    }
    while (q.next()) {
        JournalEntry e;
        ReadRow(q, &e);
        out.push_back(std::move(e));
    }
    return out;
}

std::optional<JournalEntry> JournalDb::Get(int64_t id, QString* error) const {
    if (m_empty) return std::nullopt;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1, before, after FROM entries WHERE id = ?")
                  .arg(QLatin1String(kListColumns)));
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec()) {
        *error =
            SqlErrorText(QStringLiteral("get"), NativeCode(q.lastError()), q.lastError().text());
        return std::nullopt;
    }
    if (!q.next()) return std::nullopt;
    JournalEntry e;
    ReadRow(q, &e);
    std::optional<QByteArray> before;
    if (!q.value(14).isNull()) before = q.value(14).toByteArray();
    if (e.unknown) {
        e.unknown->before = before;
        e.unknown->after = q.value(15).toByteArray();
    } else {
        e.before = before;
        e.after = q.value(15).toByteArray();
    }
    return e;
}

std::vector<int> JournalDb::Serials(QString* error) const {
    std::vector<int> out;
    if (m_empty) return out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT DISTINCT meter_serial FROM entries WHERE meter_serial IS "
                               "NOT NULL ORDER BY meter_serial"))) {
        *error = SqlErrorText(QStringLiteral("serials"), NativeCode(q.lastError()),
                              q.lastError().text());
        return out;
    }
    while (q.next()) out.push_back(q.value(0).toInt());
    return out;
}

int64_t JournalDb::Count(std::optional<int> serial, QString* error) const {
    if (m_empty) return 0;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(serial ? QStringLiteral("SELECT COUNT(*) FROM entries WHERE meter_serial = ?")
                     : QStringLiteral("SELECT COUNT(*) FROM entries"));
    if (serial) q.addBindValue(*serial);
    if (!q.exec() || !q.next()) {
        *error =
            SqlErrorText(QStringLiteral("count"), NativeCode(q.lastError()), q.lastError().text());
        return 0;
    }
    return q.value(0).toLongLong();
}
