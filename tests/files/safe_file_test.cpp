// The one file writer: whole or not at all, old file kept on any failure,
// never a special file replaced.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>

#include "files/safe_file.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

class SafeFileTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    std::string S(const char* name) const { return Path(name).toStdString(); }
    // Every name in the folder, hidden ones included: a temporary file left
    // behind shows here.
    QStringList Entries() const { return testsupport::FolderEntries(dir_.path()); }
    QTemporaryDir dir_;
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

TEST_F(SafeFileTest, ReplacesWholeKeepingPermissionsAndLinks) {
    // A new file, then the same file replaced: nothing else left in the folder.
    ASSERT_TRUE(WriteFileAtomically(Path("a.txt"), "first"));
    ASSERT_TRUE(WriteFileAtomically(Path("a.txt"), QByteArray(100000, 'x')));
    EXPECT_EQ(ReadFileBytes(S("a.txt")), std::string(100000, 'x'));
    EXPECT_EQ(Entries(), QStringList{"a.txt"});

    // The permissions of the file replaced carry over.
    ASSERT_EQ(::chmod(S("a.txt").c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(Path("a.txt"), "second"));
    EXPECT_EQ(ModeOf(S("a.txt")) & 07777, 0640u);

    // A link to a regular file stays a link; the file it points at is replaced.
    ASSERT_EQ(::symlink("a.txt", S("link.txt").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomically(Path("link.txt"), "through the link"));
    EXPECT_TRUE(S_ISLNK(ModeOf(S("link.txt"))));
    EXPECT_EQ(ReadFileBytes(S("a.txt")), "through the link");
    EXPECT_EQ(Entries(), (QStringList{"a.txt", "link.txt"}));

    // An empty file is a file too.
    ASSERT_TRUE(WriteFileAtomically(Path("empty"), QByteArray()));
    EXPECT_TRUE(QFile::exists(Path("empty")));
    EXPECT_EQ(QFile(Path("empty")).size(), 0);
}

TEST_F(SafeFileTest, FileSizeLimitKeepsTheOldFileAndLeavesNoTemporaryFile) {
    const std::string old = "the user's own file\r\n";
    ASSERT_TRUE(WriteFileBytes(S("kept.json"), old));
    FileError error;
    bool written = true;
    {
        testsupport::FileSizeLimit limit(4096);
        written = WriteFileAtomically(Path("kept.json"), QByteArray(5000, 'j'), &error);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(error.kind, FileError::Kind::Write);
    EXPECT_EQ(error.sysError, EFBIG);
    EXPECT_EQ(error.Reason(), QStringLiteral("przekroczony dopuszczalny rozmiar pliku"));
    EXPECT_EQ(ReadFileBytes(S("kept.json")), old);
    EXPECT_EQ(Entries(), QStringList{"kept.json"});
}

TEST_F(SafeFileTest, FullTmpfsKeepsTheOldFile) {
    testsupport::SmallTmpfs disk(64);
    if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const QString target = QString::fromStdString(disk.Path() + "/e.csv");
    const std::string old(3000, 'o');
    ASSERT_TRUE(WriteFileBytes(target.toStdString(), old));
    disk.Fill();
    FileError error;
    EXPECT_FALSE(WriteFileAtomically(target, QByteArray(20000, 'n'), &error));
    EXPECT_EQ(error.kind, FileError::Kind::Write);
    EXPECT_EQ(error.sysError, ENOSPC);
    EXPECT_EQ(error.Reason(), QStringLiteral("brak miejsca na dysku"));
    EXPECT_EQ(ReadFileBytes(target.toStdString()), old);
    EXPECT_EQ(QDir(QString::fromStdString(disk.Path()))
                  .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
              (QStringList{"e.csv", "filler"}));
}

TEST_F(SafeFileTest, AbandonedBeforeTheReplacementKeepsTheOldFile) {
    ASSERT_TRUE(WriteFileBytes(S("k.ini"), "old"));
    FileError error;
    EXPECT_FALSE(WriteFileAtomically(Path("k.ini"), "new", &error, [] { return false; }));
    EXPECT_EQ(error.kind, FileError::Kind::Abandoned);
    EXPECT_EQ(ReadFileBytes(S("k.ini")), "old");
    EXPECT_EQ(Entries(), QStringList{"k.ini"});
}

TEST_F(SafeFileTest, ADeadWritersTemporaryFileGoesAtTheNextWriteALiveOnesStays) {
    // Left by a writer that was killed: nobody holds it.
    ASSERT_TRUE(WriteFileBytes(S(".k.ini.kv60x-dead1"), "half"));
    // Another program is writing right now: it holds its file locked.
    ASSERT_TRUE(WriteFileBytes(S(".k.ini.kv60x-live1"), "busy"));
    const int live = ::open(S(".k.ini.kv60x-live1").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    // Not ours at all.
    ASSERT_TRUE(WriteFileBytes(S(".other.kv60x-x"), "x"));

    ASSERT_TRUE(WriteFileAtomically(Path("k.ini"), "new"));
    EXPECT_EQ(Entries(), (QStringList{".k.ini.kv60x-live1", ".other.kv60x-x", "k.ini"}));
    ::close(live);
    ASSERT_TRUE(WriteFileAtomically(Path("k.ini"), "newer"));
    EXPECT_EQ(Entries(), (QStringList{".other.kv60x-x", "k.ini"}));
}

TEST_F(SafeFileTest, SpecialTargetsAreRefusedAndLeftAlone) {
    ASSERT_EQ(::mkfifo(S("fifo").c_str(), 0644), 0);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder"));
    ASSERT_EQ(::symlink("fifo", S("to-fifo").c_str()), 0);
    ASSERT_EQ(::symlink("nothing-there", S("dangling").c_str()), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = S("socket");
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    std::vector<const char*> targets = {"fifo", "folder", "to-fifo", "dangling", "socket"};
    // A character device of our own (the null device's numbers), where we may make one.
    if (::mknod(S("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        ASSERT_EQ(::symlink("device", S("to-device").c_str()), 0);
        targets.push_back("device");
        targets.push_back("to-device");
    }
    const QStringList before = Entries();
    for (const char* name : targets) {
        const mode_t mode = ModeOf(S(name));
        FileError error;
        EXPECT_FALSE(WriteFileAtomically(Path(name), "data", &error)) << name;
        EXPECT_EQ(error.kind, FileError::Kind::NotRegular) << name;
        EXPECT_EQ(error.Reason(), QStringLiteral("to nie jest zwykły plik"));
        EXPECT_EQ(ModeOf(S(name)), mode) << name;
        EXPECT_FALSE(CheckOutputTarget(Path(name), &error)) << name;
        EXPECT_EQ(error.kind, FileError::Kind::NotRegular) << name;
    }
    EXPECT_EQ(Entries(), before);
    ::close(sock);
}

TEST_F(SafeFileTest, CheckOutputTargetNamesTheReason) {
    FileError error;
    EXPECT_TRUE(CheckOutputTarget(Path("new.kvz"), &error));
    EXPECT_TRUE(error.ok());
    ASSERT_TRUE(WriteFileBytes(S("old.kvz"), "x"));
    EXPECT_TRUE(CheckOutputTarget(Path("old.kvz"), &error));
    EXPECT_FALSE(CheckOutputTarget(Path("no/such/folder/x.kvz"), &error));
    EXPECT_EQ(error.kind, FileError::Kind::Create);
    EXPECT_EQ(error.Reason(), QStringLiteral("nie ma takiego pliku ani folderu"));
    EXPECT_FALSE(CheckOutputTarget(Path("old.kvz/x.kvz"), &error));
    EXPECT_EQ(error.Reason(), QStringLiteral("część ścieżki nie jest folderem"));
    EXPECT_FALSE(CheckOutputTarget(QString(), &error));
    EXPECT_FALSE(WriteFileAtomically(Path("no/such/folder/x.kvz"), "x", &error));
    EXPECT_EQ(error.kind, FileError::Kind::Create);
}

}  // namespace
