// Programs that meet on one journal file: opening (creation and migration
// included) and completing wait for another program's lock instead of failing.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <thread>

#include "journal/journal_db.h"
#include "journal/journal_test_support.h"
#include "support/test_support.h"

using journaltest::RawDb;
using journaltest::SampleEntry;

namespace {

// Another program holding the write lock of `path` for `ms` milliseconds.
struct LockHolder {
    LockHolder(const QString& path, int ms)
        : thread([this, path, ms] {
              RawDb raw(path);
              held = raw.Exec("BEGIN IMMEDIATE") ? 1 : 0;
              QThread::msleep(ms);
          }) {
        while (held < 0) QThread::msleep(1);
        EXPECT_EQ(held, 1) << "the lock is taken";
    }
    ~LockHolder() { thread.join(); }
    std::atomic<int> held{-1};
    std::thread thread;
};

}  // namespace

TEST(JournalBusy, ProgramsCreatingANewJournalAtOnceAllGetTheirEntry) {
    QTemporaryDir dir;
    const QString path = dir.filePath("new/journal.sqlite");
    RawDb(dir.filePath("other.sqlite")).Exec("SELECT 1");  // the driver loaded beforehand
    // Each writer is a process, as two programs are (SQLite's locks between
    // processes are not those between connections of one), all set off at once.
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> writers;
    for (int i = 0; i < 40; ++i) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(go[1]);
            char c;
            (void)!read(go[0], &c, 1);  // end of file once the parent closes its end
            QString error;
            auto db = JournalDb::Open(path, JournalDb::Mode::Write, &error);
            _exit(db && db->AddPending(SampleEntry(i), &error) > 0 ? 0 : 1);
        }
        writers.push_back(pid);
    }
    close(go[1]);
    for (pid_t pid : writers) {
        int status = 1;
        waitpid(pid, &status, 0);
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(RawDb(path).Value("SELECT COUNT(*) FROM entries").toInt(), 40);
    EXPECT_EQ(RawDb(path).Value("SELECT COUNT(*) FROM journal_schema").toInt(), 1);

    // The moment that SQLite refuses without waiting: another program holds
    // the write lock of the file it has just created, not yet in WAL mode.
    const QString fresh = dir.filePath("fresh.sqlite");
    ASSERT_TRUE(testsupport::WriteFileBytes(fresh.toStdString(), ""));
    LockHolder other(fresh, 400);
    QString error;
    EXPECT_TRUE(JournalDb::Open(fresh, JournalDb::Mode::Write, &error)) << error.toStdString();
}

// The meter has been written when the completion comes: a lock held longer
// than the busy time-out is waited out, one held beyond ten of them is not.
TEST(JournalBusy, CompletionWaitsOutALongLockAndOnlyThenFails) {
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    QString error;
    auto db = JournalDb::Open(path, JournalDb::Mode::Write, &error, 100);
    ASSERT_TRUE(db) << error.toStdString();
    const int64_t first = db->AddPending(SampleEntry(1), &error);
    const int64_t second = db->AddPending(SampleEntry(2), &error);
    {
        LockHolder other(path, 400);
        EXPECT_TRUE(db->Complete(first, JournalOutcome::Confirmed, QString(), &error))
            << error.toStdString();
    }
    {
        LockHolder other(path, 1600);
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(db->Complete(second, JournalOutcome::Failed, "x", &error));
        EXPECT_GE(t.elapsed(), 980);
        EXPECT_TRUE(error.endsWith(path + " jest zablokowany przez inny program."));
    }
    EXPECT_EQ(db->Get(first, &error)->outcome, JournalOutcome::Confirmed);
    EXPECT_EQ(db->Get(second, &error)->outcome, JournalOutcome::Pending);
}
