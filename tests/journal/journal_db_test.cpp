// The journal database without a meter: schema, migration, queries and the
// files it refuses or moves aside.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "journal/journal_db.h"
#include "journal/journal_fields.h"
#include "journal/journal_location.h"
#include "journal/journal_test_support.h"
#include "records/cp1250.h"
#include "support/test_support.h"

using journaltest::RawDb;
using journaltest::SampleEntry;
using testsupport::ReadFileData;

namespace {

QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

std::unique_ptr<JournalDb> OpenForWrite(const QString& path, QString* error = nullptr) {
    QString ignored;
    return JournalDb::Open(path, JournalDb::Mode::Write, error ? error : &ignored, 200);
}

}  // namespace

TEST(JournalDb, NewJournalStoresEntriesWholeAndCompletesThem) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a/b/journal.sqlite");
    auto db = OpenForWrite(path);
    ASSERT_TRUE(db);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(db->SchemaVersion(), JournalDb::kSchemaVersion);
    EXPECT_EQ(RawDb(path).Value("PRAGMA journal_mode").toString(), "wal");

    JournalEntry e = SampleEntry(1234, JournalTarget::Characteristic);
    e.slot = 7;
    e.before = QByteArray(256, '\xAB');
    e.after = QByteArray(256, '\x00');  // zero bytes must survive as they are
    e.meter.letter = QStringLiteral(" ");
    QString error;
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const int64_t id = db->AddPending(e, &error);
    ASSERT_GT(id, 0) << error.toStdString();

    auto got = db->Get(id, &error);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->outcome, JournalOutcome::Pending);
    EXPECT_GE(got->timeMs, before);
    EXPECT_EQ(got->completedMs, 0);
    EXPECT_EQ(got->program, "kv60x-cli");
    EXPECT_EQ(got->user, "tester");
    EXPECT_EQ(got->meter.model, "KV-606");
    EXPECT_EQ(got->meter.letter, " ");
    EXPECT_EQ(got->meter.serial, 1234);
    EXPECT_EQ(got->meter.version, "1.3");
    EXPECT_EQ(got->target, JournalTarget::Characteristic);
    EXPECT_EQ(got->slot, 7);
    EXPECT_EQ(got->before, QByteArray(256, '\xAB'));
    EXPECT_EQ(got->after, QByteArray(256, '\x00'));

    ASSERT_TRUE(db->Complete(id, JournalOutcome::Failed, "brak odpowiedzi", &error));
    got = db->Get(id, &error);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->outcome, JournalOutcome::Failed);
    EXPECT_EQ(got->message, "brak odpowiedzi");
    EXPECT_GE(got->completedMs, got->timeMs);

    // No value before (never read) stays distinct from an empty value.
    JournalEntry unread = SampleEntry(1234);
    unread.before.reset();
    const int64_t id2 = db->AddPending(unread, &error);
    EXPECT_FALSE(db->Get(id2, &error)->before.has_value());
    // Sent, never confirmed: the meter may or may not hold the new value.
    ASSERT_TRUE(db->Complete(id2, JournalOutcome::Uncertain, QString(), &error));
    EXPECT_EQ(db->Get(id2, &error)->outcome, JournalOutcome::Uncertain);
    EXPECT_EQ(OutcomeKey(JournalOutcome::Uncertain), "uncertain");
    EXPECT_EQ(OutcomeText(JournalOutcome::Uncertain), "niepewny");
    EXPECT_FALSE(db->Get(999, &error).has_value());
}

TEST(JournalDb, ReadingAMissingJournalCreatesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("none/journal.sqlite");
    QString error;
    auto db = JournalDb::Open(path, JournalDb::Mode::Read, &error);
    ASSERT_TRUE(db);
    EXPECT_TRUE(db->List({}, &error).empty());
    EXPECT_EQ(db->Count(std::nullopt, &error), 0);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("none")));
    EXPECT_EQ(db->AddPending(SampleEntry(1), &error), 0);
}

TEST(JournalDb, ListsNewestFirstByMeterAndPageByPage) {
    QTemporaryDir dir;
    auto db = OpenForWrite(dir.filePath("journal.sqlite"));
    ASSERT_TRUE(db);
    QString error;
    std::vector<int64_t> ids;
    for (int i = 0; i < 9; ++i)
        ids.push_back(db->AddPending(SampleEntry(i % 3 == 0 ? 10 : 20), &error));
    JournalEntry anonymous = SampleEntry(0);
    anonymous.meter.serial.reset();
    db->AddPending(anonymous, &error);

    auto all = db->List({}, &error);
    ASSERT_EQ(all.size(), 10u);
    for (size_t i = 1; i < all.size(); ++i) EXPECT_GT(all[i - 1].id, all[i].id);
    EXPECT_FALSE(all[0].meter.serial.has_value());
    EXPECT_TRUE(all[0].after.isEmpty()) << "lists carry no values";

    JournalQuery q;
    q.serial = 10;
    auto ten = db->List(q, &error);
    ASSERT_EQ(ten.size(), 3u);
    EXPECT_EQ(ten[0].id, ids[6]);
    EXPECT_EQ(ten[2].id, ids[0]);
    EXPECT_EQ(db->Count(10, &error), 3);
    EXPECT_EQ(db->Count(std::nullopt, &error), 10);
    EXPECT_EQ(db->Serials(&error), (std::vector<int>{10, 20}));

    // Pages: each one continues below the last id of the one before.
    JournalQuery page;
    page.limit = 4;
    std::vector<int64_t> seen;
    for (;;) {
        auto part = db->List(page, &error);
        for (const auto& e : part) seen.push_back(e.id);
        if (part.size() < 4) break;
        page.beforeId = part.back().id;
    }
    EXPECT_EQ(seen.size(), 10u);
    EXPECT_TRUE(std::is_sorted(seen.rbegin(), seen.rend()));
}

// A file written with the first schema, laid down here statement by statement.
TEST(JournalDb, MigrationFromVersionOneKeepsEveryEntry) {
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    {
        RawDb raw(path);
        ASSERT_TRUE(raw.Exec("CREATE TABLE journal_schema (version INTEGER NOT NULL)"));
        ASSERT_TRUE(raw.Exec("INSERT INTO journal_schema (version) VALUES (1)"));
        ASSERT_TRUE(raw.Exec(
            "CREATE TABLE entries (id INTEGER PRIMARY KEY AUTOINCREMENT, time_ms INTEGER NOT "
            "NULL, program TEXT NOT NULL, user_name TEXT NOT NULL, meter_model TEXT NOT NULL, "
            "meter_letter TEXT NOT NULL, meter_serial INTEGER, meter_version TEXT NOT NULL, "
            "target TEXT NOT NULL, slot INTEGER, before BLOB, after BLOB NOT NULL, outcome TEXT "
            "NOT NULL, completed_ms INTEGER, message TEXT NOT NULL DEFAULT '')"));
        ASSERT_TRUE(raw.Exec(
            "INSERT INTO entries VALUES (1, 1700000000000, 'kv60x', 'anna', 'KV-607', 'B', 55, "
            "'1.2', 'startup_date', NULL, '2009-08', '2010-01', 'confirmed', 1700000000500, '')"));
        ASSERT_TRUE(raw.Exec(
            "INSERT INTO entries VALUES (2, 1700000001000, 'kv60x-cli', 'jan', 'KV-607', 'B', "
            "55, '1.2', 'serial_number', NULL, NULL, '56', 'pending', NULL, '')"));
    }
    QString error;
    auto db = OpenForWrite(path, &error);
    ASSERT_TRUE(db) << error.toStdString();
    EXPECT_EQ(db->SchemaVersion(), 2);
    EXPECT_EQ(RawDb(path).Value("SELECT version FROM journal_schema").toInt(), 2);
    auto first = db->Get(1, &error);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->timeMs, 1700000000000);
    EXPECT_EQ(first->user, "anna");
    EXPECT_EQ(first->target, JournalTarget::StartupDate);
    EXPECT_EQ(first->before, QByteArray("2009-08"));
    EXPECT_EQ(first->after, QByteArray("2010-01"));
    EXPECT_EQ(first->outcome, JournalOutcome::Confirmed);
    EXPECT_EQ(first->restoredFrom, 0);
    auto second = db->Get(2, &error);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->outcome, JournalOutcome::Pending);
    EXPECT_FALSE(second->before.has_value());
    // What the new version adds works on the old entries' file.
    JournalEntry restore = SampleEntry(55, JournalTarget::StartupDate);
    restore.restoredFrom = 1;
    const int64_t id = db->AddPending(restore, &error);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(db->Get(id, &error)->restoredFrom, 1);
    EXPECT_EQ(db->Count(55, &error), 3);
}

// Rows a newer program wrote, of a kind or an outcome this one does not know:
// listed and named with their keys, values as stored, nothing to restore.
TEST(JournalDb, EntriesOfUnknownKindsAreListedButNeverRestorable) {
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    auto db = OpenForWrite(path);
    ASSERT_TRUE(db);
    CharRecData rec = MakeEmptySlot(2);
    rec.PASSWORD = 1;
    const QString image = "x'" + QString::fromLatin1(CharacteristicValue(rec).toHex()) + "'";
    {
        RawDb raw(path);
        const QString insert = QStringLiteral(
            "INSERT INTO entries (time_ms, program, user_name, meter_model, meter_letter, "
            "meter_version, target, slot, before, after, outcome) VALUES (1, 'kv60x', 'ewa', "
            "'KV-606', 'A', '2.0', %1)");
        ASSERT_TRUE(raw.Exec(insert.arg("'contrast', NULL, x'0A0B', x'FF00', 'confirmed'")));
        ASSERT_TRUE(raw.Exec(insert.arg("'characteristic', 2, %1, %1, 'rolled_back'").arg(image)));
    }
    QString error;
    ASSERT_EQ(db->List({}, &error).size(), 2u) << error.toStdString();
    const auto kind = db->Get(1, &error), outcome = db->Get(2, &error);
    ASSERT_TRUE(kind && kind->unknown && outcome && outcome->unknown) << error.toStdString();
    EXPECT_EQ(TargetText(*kind), "nieznany rodzaj (contrast)");
    EXPECT_EQ(OutcomeText(*kind), "potwierdzony");
    EXPECT_EQ(TargetText(*outcome), "Charakterystyka nr 3");
    EXPECT_EQ(OutcomeText(*outcome), "nieznany wynik (rolled_back)");
    EXPECT_EQ(OutcomeKey(*outcome), "rolled_back");
    EXPECT_FALSE(kind->before || outcome->before) << "nothing offered for restore";
    const auto rows = JournalFieldRows(*kind, true);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].before + " " + rows[0].after, "0A0B FF00");
    // A known kind reads field by field from the stored values, its protected
    // curve hidden as ever.
    EXPECT_TRUE(JournalEntryProtected(*outcome));
    EXPECT_EQ(JournalFieldRows(*outcome, false).back().after, "(ochrona hasłem)");
}

TEST(JournalDb, FilesItCannotUseAreRefusedAndLeftAsTheyAre) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        const char* words;
    };
    const std::vector<Case> cases = {
        {"text.sqlite",
         [](const QString& p) {
             testsupport::WriteFileBytes(p.toStdString(), "Zakupy: mleko, chleb\n");
         },
         "nie jest dziennikiem zmian"},
        {"newer.sqlite",
         [](const QString& p) {
             {
                 QString error;
                 OpenForWrite(p)->AddPending(SampleEntry(3), &error);
             }
             RawDb(p).Exec("UPDATE journal_schema SET version = 3");
         },
         "nowszej wersji programu (schemat 3"},
        {"other.sqlite",
         [](const QString& p) { RawDb(p).Exec("CREATE TABLE invoices (n INTEGER)"); },
         "innego programu"},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        c.make(path);
        const QByteArray bytes = ReadFileData(path);
        const QStringList files = FilesIn(dir.path());
        for (JournalDb::Mode mode : {JournalDb::Mode::Write, JournalDb::Mode::Read}) {
            QString error;
            EXPECT_FALSE(JournalDb::Open(path, mode, &error, 100)) << c.name;
            EXPECT_TRUE(error.contains(path)) << error.toStdString();
            EXPECT_TRUE(error.contains(QString::fromUtf8(c.words))) << error.toStdString();
        }
        EXPECT_EQ(ReadFileData(path), bytes) << c.name;
        EXPECT_EQ(FilesIn(dir.path()), files) << c.name;
    }
}

TEST(JournalDb, DamagedJournalIsMovedAsideAndANewOneStarted) {
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    {
        auto db = OpenForWrite(path);
        ASSERT_TRUE(db);
        QString error;
        for (int i = 0; i < 200; ++i) db->AddPending(SampleEntry(i), &error);
    }
    QByteArray bytes = ReadFileData(path);
    ASSERT_GT(bytes.size(), 8192);
    bytes.truncate(bytes.size() / 2);  // a copy cut short
    ASSERT_TRUE(testsupport::WriteFileBytes(path.toStdString(), bytes.toStdString()));

    QString error;
    EXPECT_FALSE(JournalDb::Open(path, JournalDb::Mode::Read, &error, 100));
    EXPECT_TRUE(error.contains("uszkodzony")) << error.toStdString();
    EXPECT_EQ(ReadFileData(path), bytes) << "reading never moves the file";

    EXPECT_FALSE(OpenForWrite(path, &error));
    const QStringList aside = QDir(dir.path()).entryList({"journal.sqlite.uszkodzony-*"});
    ASSERT_EQ(aside.size(), 1) << FilesIn(dir.path()).join(' ').toStdString();
    EXPECT_EQ(ReadFileData(dir.filePath(aside[0])), bytes) << "the damaged file is kept whole";
    EXPECT_TRUE(error.contains(path)) << error.toStdString();
    EXPECT_TRUE(error.contains(dir.filePath(aside[0]))) << error.toStdString();
    EXPECT_TRUE(error.contains("założono nowy")) << error.toStdString();
    // The new journal is there, empty and usable.
    auto fresh = OpenForWrite(path, &error);
    ASSERT_TRUE(fresh) << error.toStdString();
    EXPECT_EQ(fresh->Count(std::nullopt, &error), 0);
}

TEST(JournalDb, LockedOrReadOnlyJournalRefusesNewEntries) {
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    auto db = OpenForWrite(path);
    ASSERT_TRUE(db);
    QString error;
    {
        RawDb other(path);
        ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
        ASSERT_TRUE(
            other.Exec("INSERT INTO entries (time_ms, program, user_name, meter_model, "
                       "meter_letter, meter_version, target, after, outcome) VALUES (1, "
                       "'x', 'x', 'x', 'x', 'x', 'serial_number', '1', 'pending')"));
        EXPECT_EQ(db->AddPending(SampleEntry(1), &error), 0);
        EXPECT_TRUE(error.contains("zablokowany")) << error.toStdString();
        EXPECT_TRUE(error.contains(path));
        other.Exec("ROLLBACK");
    }
    EXPECT_GT(db->AddPending(SampleEntry(1), &error), 0) << "usable again once released";
    db.reset();

    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    const QByteArray bytes = ReadFileData(path);
    EXPECT_FALSE(OpenForWrite(path, &error));
    EXPECT_TRUE(error.contains("tylko do odczytu")) << error.toStdString();
    EXPECT_EQ(ReadFileData(path), bytes);
    // Reading it is still possible.
    auto reader = JournalDb::Open(path, JournalDb::Mode::Read, &error, 100);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->Count(std::nullopt, &error), 1);

    // A folder that cannot be made (a file stands where it should be).
    const QString blocked = dir.filePath("plik/journal.sqlite");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.filePath("plik").toStdString(), "x"));
    EXPECT_FALSE(OpenForWrite(blocked, &error));
    EXPECT_TRUE(error.contains("Nie można utworzyć folderu")) << error.toStdString();
    EXPECT_TRUE(error.contains(blocked));

    // A pipe is refused at once rather than waited on.
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (JournalDb::Mode mode : {JournalDb::Mode::Write, JournalDb::Mode::Read}) {
        EXPECT_FALSE(JournalDb::Open(fifo, mode, &error, 100));
        EXPECT_TRUE(error.contains("nie jest zwykłym plikiem")) << error.toStdString();
    }
}

TEST(JournalLocation, OptionThenConfigFolderThenUserDataFolder) {
    EXPECT_EQ(ResolveJournalPath("/x/j.sqlite", "/etc/kv60x.ini"), "/x/j.sqlite");
    EXPECT_EQ(ResolveJournalPath("", "/opt/kv/kv60x.ini"), "/opt/kv/journal.sqlite");
    EXPECT_EQ(ResolveJournalPath("rel.sqlite", ""), QDir::current().absoluteFilePath("rel.sqlite"));
    // The tests' main points XDG_DATA_HOME at a folder of its own.
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    ASSERT_FALSE(data.isEmpty());
    EXPECT_EQ(ResolveJournalPath("", ""), QDir(data).filePath("kv60x/journal.sqlite"));
}

TEST(JournalLocation, UserIsNamedWithoutTheLoginVariables) {
    // Services, cron jobs and `env -i` start the program without USER or
    // LOGNAME; an audit entry must still say who made the change.
    const QByteArray user = qgetenv("USER"), logname = qgetenv("LOGNAME");
    qunsetenv("USER");
    qunsetenv("LOGNAME");
    qunsetenv("USERNAME");
    const QString name = JournalUserName();
    qputenv("USER", user);
    qputenv("LOGNAME", logname);
    EXPECT_FALSE(name.isEmpty());
    EXPECT_NE(name, QStringLiteral("?"));
}

TEST(JournalValues, StoredFormsReadBackExactlyAndRefuseOthers) {
    EXPECT_EQ(StartupDateFromValue(StartupDateValue(2009, 8)), std::make_pair(2009, 8));
    EXPECT_FALSE(StartupDateFromValue("2009-8"));
    EXPECT_EQ(SerialNumberFromValue(SerialNumberValue(123456)), 123456);
    EXPECT_FALSE(SerialNumberFromValue("12a"));
    EXPECT_EQ(VersionLetterFromValue(VersionLetterValue('\xA5')), '\xA5');
    EXPECT_FALSE(VersionLetterFromValue("AB"));
    for (double k : {1.0, 0.1f * 1.0, -1.5e-8, 123456.789}) {
        EXPECT_EQ(CoefficientFromValue(CoefficientValue(k)), k);
    }
    EXPECT_FALSE(CoefficientFromValue("nan"));
    CharRecData rec = MakeEmptySlot(4);
    rec.ENABLE = 1;
    rec.ACTIVE = 3;
    rec.RH[2] = 12.3456f;
    rec.COMPENS[3] = 1.5e-8f;
    const QByteArray image = CharacteristicValue(rec);
    ASSERT_EQ(image.size(), 256);
    const auto back = CharacteristicFromValue(image, 4);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, rec);
    QByteArray damaged = image;
    damaged[10] = static_cast<char>(damaged[10] + 1);
    EXPECT_FALSE(CharacteristicFromValue(damaged, 4)) << "a bad checksum is no record";
    EXPECT_FALSE(CharacteristicFromValue(image.left(255), 4));
}

TEST(JournalFields, SideBySideWithChangesMarkedAndProtectedCurvesHidden) {
    CharRecData before = MakeEmptySlot(3);
    before.ENABLE = 1;
    before.PASSWORD = 1;
    before.ACTIVE = 2;
    before.RH[1] = 20.5f;
    before.COMPENS[0] = 0.25f;
    SetFixedField(before.NAME, CharRecData::kNameLen, QStringLiteral("Pszenica"));
    CharRecData after = before;
    after.RH[1] = 21.0f;
    JournalEntry e = SampleEntry(1, JournalTarget::Characteristic);
    e.slot = 3;
    e.before = CharacteristicValue(before);
    e.after = CharacteristicValue(after);
    auto find = [](const std::vector<JournalFieldRow>& rows, const QString& name) {
        for (const auto& r : rows) {
            if (r.name == name) return r;
        }
        return JournalFieldRow();
    };
    const auto service = JournalFieldRows(e, true);
    EXPECT_EQ(find(service, "Punkt 2: wilgotność").before, "20.5");
    EXPECT_EQ(find(service, "Punkt 2: wilgotność").after, "21");
    EXPECT_TRUE(find(service, "Punkt 2: wilgotność").changed);
    EXPECT_FALSE(find(service, "Współczynnik A").changed);
    EXPECT_EQ(find(service, "Współczynnik A").before, "0.25");
    EXPECT_EQ(find(service, "Nazwa materiału").after.trimmed(), "Pszenica");

    const auto user = JournalFieldRows(e, false);
    EXPECT_EQ(find(user, "Punkt 2: wilgotność").before, "(ochrona hasłem)");
    EXPECT_EQ(find(user, "Punkt 2: wilgotność").after, "(ochrona hasłem)");
    EXPECT_TRUE(find(user, "Punkt 2: wilgotność").changed) << "marked without being shown";
    EXPECT_EQ(find(user, "Współczynnik A").before, "(ochrona hasłem)");
    EXPECT_EQ(find(user, "Nazwa materiału").after.trimmed(), "Pszenica");
    EXPECT_TRUE(JournalEntryProtected(e));

    e.before.reset();
    const auto unread = JournalFieldRows(e, true);
    EXPECT_EQ(find(unread, "Nazwa materiału").before, "(nieodczytana)");
    EXPECT_FALSE(find(unread, "Nazwa materiału").changed);
}
