// The journal on a full disk: it is still read, and every write refused is
// told as a full disk, never taken for damage or moved aside.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <QDir>

#include "journal/journal_db.h"
#include "journal/journal_test_support.h"
#include "support/test_support.h"

using journaltest::SampleEntry;

// Full as no space left, and as no room for one more file, where SQLite cannot
// create the -shm, a new journal or its folder and says "cannot open".
TEST(JournalDisk, FullDiskReadsTheJournalAndRefusesWritesAsFull) {
    for (const bool noFiles : {false, true}) {
        testsupport::SmallTmpfs disk(512);
        if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
        const QString dir = QString::fromStdString(disk.Path());
        auto full = [](const QString& p) {
            return QStringLiteral("Brak miejsca na dysku dla dziennika zmian %1.")
                .arg(p)
                .toStdString();
        };
        const QString closed = dir + "/closed.sqlite", open = dir + "/open.sqlite";
        QString error;
        if (auto db = JournalDb::Open(closed, JournalDb::Mode::Write, &error)) {
            for (int i = 0; i < 3; ++i) db->AddPending(SampleEntry(i), &error);
        }
        auto writer = JournalDb::Open(open, JournalDb::Mode::Write, &error, 100);
        ASSERT_TRUE(writer) << error.toStdString();
        const int64_t pending = writer->AddPending(SampleEntry(1), &error);
        const QByteArray bytes = testsupport::ReadFileData(closed);
        struct statvfs fs {};
        statvfs(disk.Path().c_str(), &fs);
        const std::string files = "nr_inodes=" + std::to_string(fs.f_files - fs.f_ffree);
        if (!noFiles) {
            disk.Fill();
            EXPECT_EQ(writer->AddPending(SampleEntry(2), &error), 0);
            EXPECT_EQ(error.toStdString(), full(open));
            EXPECT_FALSE(writer->Complete(pending, JournalOutcome::Confirmed, QString(), &error));
            EXPECT_EQ(error.toStdString(), full(open));
        } else if (mount("tmpfs", disk.Path().c_str(), "tmpfs", MS_REMOUNT, files.c_str()) != 0) {
            GTEST_SKIP() << "the tmpfs cannot be limited to the files it has";
        }
        for (const QString& path : {closed, dir + "/new.sqlite", dir + "/sub/new.sqlite"}) {
            EXPECT_FALSE(JournalDb::Open(path, JournalDb::Mode::Write, &error, 100));
            EXPECT_EQ(error.toStdString(), full(path)) << noFiles;
        }
        for (const QString& path : {closed, open}) {
            auto reader = JournalDb::Open(path, JournalDb::Mode::Read, &error, 100);
            ASSERT_TRUE(reader) << error.toStdString();
            EXPECT_EQ(reader->List({}, &error).size(), path == open ? 1u : 3u) << noFiles;
        }
        EXPECT_EQ(testsupport::ReadFileData(closed), bytes);
        EXPECT_EQ(QDir(dir).entryList({"*uszkodzony*"}), QStringList());
    }
}
