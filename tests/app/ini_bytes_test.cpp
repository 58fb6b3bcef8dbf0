// The configuration file keeps what it does not own: foreign bytes, foreign
// lines, the old file on a full disk; and it never opens what is not a file.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <future>

#include "app/app_settings.h"
#include "app/ini_ex.h"
#include "files/byte_text.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

class IniBytesTest : public ::testing::Test {
protected:
    QString Path(const char* name = "kv60x.ini") const {
        return dir_.filePath(QString::fromUtf8(name));
    }
    std::string S(const char* name = "kv60x.ini") const { return Path(name).toStdString(); }
    QStringList Entries() const { return testsupport::FolderEntries(dir_.path()); }
    QTemporaryDir dir_;
};

// Written by another program in code page 1250: "Łódź", "żółw", "Pomiary\Łódź.csv".
const std::string kForeign =
    "; ustawienia \xBF\xF3\xB3w\r\n"
    "[MOJE \xA3\xF3\x64\x9F]\r\n"
    "MIASTO=\xA3\xF3\x64\x9F\r\n"
    "BEZ ZNAKU R\xD3WNO\xA6\x43I\r\n"
    "[PUSTA]\r\n";
const std::string kFileNameLine = "FILE_NAME=C:\\Pomiary\\\xA3\xF3\x64\x9F.csv\r\n";

TEST_F(IniBytesTest, CodePage1250InAForeignSectionAndInFileNameSurvivesLoadAndSave) {
    ASSERT_TRUE(
        WriteFileBytes(S(), kForeign + "[LOG]\r\n" + kFileNameLine + "[GENERAL]\r\nPORT_NR=1\r\n"));
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path(), true, true, true), CIniEx::OpenResult::Opened);
        AppSettings s = LoadAppSettings(ini);
        // The name is the same bytes on disk.
        EXPECT_EQ(NativePath(s.fileName), QByteArray("C:\\Pomiary\\\xA3\xF3\x64\x9F.csv"));
        s.portNr = 2;  // something changes, so the file is rewritten
        StoreAppSettings(ini, s);
        ASSERT_TRUE(ini.IsChanged());
    }
    const std::string out = ReadFileBytes(S());
    EXPECT_EQ(out.rfind(kForeign + "[LOG]\r\n" + kFileNameLine + "FILE_LOG=0\r\n", 0), 0u) << out;
    EXPECT_NE(out.find("[GENERAL]\r\nPORT_NR=2\r\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("\xEF\xBF\xBD"), std::string::npos);  // no U+FFFD anywhere
}

TEST_F(IniBytesTest, FullDiskAtExitKeepsTheUsersFile) {
    // The user's own sections make the file larger than the room left.
    std::string original = "[GENERAL]\r\nPORT_NR=4\r\n";
    for (int i = 0; i < 200; ++i)
        original += "[MOJA_SEKCJA_" + std::to_string(i) + "]\r\nKLUCZ=wartość " +
                    std::to_string(i) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(S(), original));
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path(), true, true, true), CIniEx::OpenResult::Opened);
        ini.SetValueInt("GENERAL", "PORT_NR", 5);
        {
            testsupport::FileSizeLimit full(1024);
            EXPECT_FALSE(ini.Write());
        }
        EXPECT_EQ(ini.LastWriteError().kind, FileError::Kind::Write);
        EXPECT_EQ(ReadFileBytes(S()), original);
        EXPECT_EQ(Entries(), QStringList{"kv60x.ini"});
        EXPECT_TRUE(ini.IsChanged());
    }
    // With room again the destructor writes it, the user's sections intact.
    const std::string out = ReadFileBytes(S());
    EXPECT_EQ(out.substr(0, 22), "[GENERAL]\r\nPORT_NR=5\r\n");
    EXPECT_EQ(out.substr(22), original.substr(22));
}

TEST_F(IniBytesTest, NothingButARegularFileOfSensibleSizeIsOpened) {
    ASSERT_EQ(::mkfifo(S("fifo.ini").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", S("zero.ini").c_str()), 0);
    auto opening = std::async(std::launch::async, [this] {
        CIniEx ini;
        return ini.Open(Path("fifo.ini"), true, true, true) == CIniEx::OpenResult::Failed &&
               ini.Open(Path("zero.ini"), true, true, true) == CIniEx::OpenResult::Failed;
    });
    const bool done = opening.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!done) {
        const int w = ::open(S("fifo.ini").c_str(), O_WRONLY);
        if (w >= 0) ::close(w);
    }
    ASSERT_TRUE(done) << "opening a FIFO blocked";
    EXPECT_TRUE(opening.get());

    // Larger than any configuration: not opened, and so never written over.
    const int fd = ::open(S("huge.ini").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, CIniEx::kMaxFileBytes + 1), 0);
    ::close(fd);
    {
        CIniEx ini;
        EXPECT_EQ(ini.Open(Path("huge.ini"), true, true, true), CIniEx::OpenResult::TooLarge);
        ini.SetValueInt("GENERAL", "PORT_NR", 3);
    }
    EXPECT_EQ(QFileInfo(Path("huge.ini")).size(), CIniEx::kMaxFileBytes + 1);
    struct stat st {};
    ASSERT_EQ(::lstat(S("fifo.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(IniBytesTest, ALinkToTheFileKeepsPointingAtIt) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("real"));
    ASSERT_TRUE(WriteFileBytes(S("real/kv60x.ini"), "[GENERAL]\r\nPORT_NR=4\r\n"));
    ASSERT_EQ(::symlink("real/kv60x.ini", S("link.ini").c_str()), 0);
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path("link.ini"), true, true, true), CIniEx::OpenResult::Opened);
        ini.SetValueInt("GENERAL", "PORT_NR", 6);
    }
    EXPECT_EQ(ReadFileBytes(S("real/kv60x.ini")), "[GENERAL]\r\nPORT_NR=6\r\n");
    struct stat st {};
    ASSERT_EQ(::lstat(S("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

}  // namespace
