#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include "app/app_settings.h"
#include "app/ini_ex.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

class IniFileTest : public ::testing::Test {
protected:
    QString Path() const { return dir_.filePath("kv60x.ini"); }
    std::string SPath() const { return Path().toStdString(); }
    QStringList FolderEntries() const { return testsupport::FolderEntries(dir_.path()); }
    QTemporaryDir dir_;
};

TEST_F(IniFileTest, FirstExitFromNothingWritesTheThreeSectionsInOrder) {
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path(), true, true, true), CIniEx::OpenResult::Opened);
        EXPECT_TRUE(QFileInfo::exists(Path()));  // created empty at once
        StoreAppSettings(ini, LoadAppSettings(ini));
    }
    EXPECT_EQ(ReadFileBytes(SPath()),
              "[INPUT_VALUE]\r\nBACKGROUND_INPUT=13559807\r\nTEXT_INPUT=5442\r\n"
              "FONT_HEIGHT_INPUT=-64\r\nFONT_NAME_INPUT=Arial\r\nFONT_ITALIC_INPUT=0\r\n"
              "FONT_WEIGHT_INPUT=0\r\n"
              "[GENERAL]\r\nPORT_NR=0\r\nWINDOW_TOP=50\r\nWINDOW_BOTTOM=550\r\nWINDOW_LEFT=80\r\n"
              "WINDOW_RIGHT=720\r\nTOPMOST=0\r\n"
              "[LOG]\r\nFILE_NAME=\r\nFILE_LOG=0\r\nFILE_SEP_FORMAT=0\r\nFILE_DEC_SEPARATOR=0\r\n"
              "FILE_INTERVAL=60\r\nFILE_CHECK_COMMENT=0\r\n");
}

TEST_F(IniFileTest, LineAboveTheFirstHeaderStaysOnTopAndTheSectionValueCounts) {
    ASSERT_TRUE(WriteFileBytes(SPath(), "FILE_LOG=1\n[LOG]\nFILE_LOG=0\nHAND WRITTEN\n"));
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path(), true, true, true), CIniEx::OpenResult::Opened);
        AppSettings s = LoadAppSettings(ini);
        EXPECT_EQ(s.fileLog, 0);
        s.portNr = 3;
        StoreAppSettings(ini, s);
    }
    const std::string out = ReadFileBytes(SPath());
    EXPECT_EQ(out.rfind("FILE_LOG=1\r\n[LOG]\r\nFILE_LOG=0\r\nHAND WRITTEN\r\nFILE_NAME=\r\n", 0),
              0u)
        << out;
    EXPECT_NE(out.find("[GENERAL]\r\nPORT_NR=3\r\n"), std::string::npos);
}

TEST_F(IniFileTest, CaseOnlyChangeLeavesTheFileUntouched) {
    const std::string original = "[LOG]\nFILE_NAME=/home/Jan/Log.csv\n";  // LF: a rewrite shows
    ASSERT_TRUE(WriteFileBytes(SPath(), original));
    const QDateTime before = QFileInfo(Path()).lastModified();
    QThread::msleep(20);
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path(), true, true, true), CIniEx::OpenResult::Opened);
        ini.SetValue("LOG", "FILE_NAME", "/HOME/jan/LOG.CSV");
        EXPECT_TRUE(ini.Write());
    }
    EXPECT_EQ(ReadFileBytes(SPath()), original);
    EXPECT_EQ(QFileInfo(Path()).lastModified(), before);
}

TEST_F(IniFileTest, AReadOnlyFileOrFolderIsReadAndUsedButNeverWritten) {
    const std::string original = "[GENERAL]\nPORT_NR=4\n";
    ASSERT_TRUE(WriteFileBytes(SPath(), original));
    ASSERT_TRUE(QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    {
        CIniEx ini;
        EXPECT_EQ(ini.Open(Path(), true, true, true), CIniEx::OpenResult::ReadOnly);
        EXPECT_EQ(ini.GetValueInt("GENERAL", "PORT_NR", 0), 4);
        ini.SetValueInt("GENERAL", "PORT_NR", 9);
        EXPECT_EQ(ini.GetValueInt("GENERAL", "PORT_NR", 0), 9);
        EXPECT_FALSE(ini.Write()) << "the user hears of it";
        EXPECT_FALSE(ini.LastWriteError().Reason().isEmpty());
    }
    EXPECT_EQ(ReadFileBytes(SPath()), original);
    QFile::setPermissions(Path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // A read-only mount: even root may not write there.
    testsupport::SmallTmpfs mount(64);
    if (!mount.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const std::string onMount = mount.Path() + "/kv60x.ini";
    ASSERT_TRUE(WriteFileBytes(onMount, original));
    ASSERT_TRUE(mount.MakeReadOnly());
    CIniEx ini;
    EXPECT_EQ(ini.Open(QString::fromStdString(onMount), true, true, true),
              CIniEx::OpenResult::ReadOnly);
    EXPECT_EQ(ini.GetValueInt("GENERAL", "PORT_NR", 0), 4);
    ini.SetValueInt("GENERAL", "PORT_NR", 9);
    EXPECT_FALSE(ini.Write());
    EXPECT_EQ(ReadFileBytes(onMount), original);
}

TEST_F(IniFileTest, AValueHoldingASemicolonReadsBackWhole) {
    const QString name = QStringLiteral("/dane/partia;7/pomiary;a.csv");
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path(), true, true, true), CIniEx::OpenResult::Opened);
        ini.SetValue("LOG", "FILE_NAME", name);
        ini.SetValue("LOG", "PLAIN", "bez średnika");
    }
    CIniEx again;
    ASSERT_EQ(again.Open(Path(), false, false, true), CIniEx::OpenResult::Opened);
    EXPECT_EQ(again.GetValue("LOG", "FILE_NAME"), name);
    EXPECT_EQ(again.GetValue("LOG", "PLAIN"), QStringLiteral("bez średnika"));
    // Setting the same value again changes nothing.
    again.SetValue("LOG", "FILE_NAME", name);
    EXPECT_FALSE(again.IsChanged());
}

TEST_F(IniFileTest, MissingFileWithoutCreateOrInAMissingFolderIsNotOpened) {
    CIniEx ini;
    EXPECT_EQ(ini.Open(Path(), true, false, true), CIniEx::OpenResult::Failed);
    EXPECT_FALSE(QFileInfo::exists(Path()));
    EXPECT_EQ(ini.Open(dir_.filePath("no/such/kv60x.ini"), true, true, true),
              CIniEx::OpenResult::Failed);
    EXPECT_EQ(ini.Open(dir_.path(), true, true, true), CIniEx::OpenResult::Failed);  // a folder
}

TEST_F(IniFileTest, InterruptedRewriteLeavesTheOldFileAndNoTemporaryFile) {
    const std::string original = "[GENERAL]\r\nPORT_NR=4\r\n";
    ASSERT_TRUE(WriteFileBytes(SPath(), original));
    // A temporary file left behind by an earlier crash does not get in the way.
    ASSERT_TRUE(WriteFileBytes(dir_.filePath("kv60x.ini.Ab1234").toStdString(), "[GENE"));
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path(), true, true, true), CIniEx::OpenResult::Opened);
        ini.SetValueInt("GENERAL", "PORT_NR", 5);
        ini.SetCommitHookForTest([] { return false; });  // "crash" before the rename
        EXPECT_FALSE(ini.Write());
        EXPECT_EQ(ReadFileBytes(SPath()), original);
        EXPECT_EQ(FolderEntries(), (QStringList{"kv60x.ini", "kv60x.ini.Ab1234"}));
        ini.SetCommitHookForTest(nullptr);
    }
    // Still changed, so the destructor completed the rewrite.
    EXPECT_EQ(ReadFileBytes(SPath()), "[GENERAL]\r\nPORT_NR=5\r\n");
}

TEST_F(IniFileTest, ReopeningWritesTheFirstFileBackAndForgetsIt) {
    const QString other = dir_.filePath("other.ini");
    ASSERT_TRUE(WriteFileBytes(other.toStdString(), "[B]\nk=2\n"));
    CIniEx ini;
    ASSERT_EQ(ini.Open(Path(), false, true, true), CIniEx::OpenResult::Opened);
    ini.SetValue("A", "k", "1");
    ASSERT_EQ(ini.Open(other, false, true, true), CIniEx::OpenResult::Opened);
    EXPECT_EQ(ReadFileBytes(SPath()), "[A]\r\nk=1\r\n");
    EXPECT_EQ(ini.GetValue("A", "k", "none"), "none");
    EXPECT_EQ(ini.GetValue("B", "k"), "2");
    EXPECT_FALSE(ini.IsChanged());
    EXPECT_EQ(ini.Path(), QFileInfo(other).absoluteFilePath());
}

TEST_F(IniFileTest, WithoutWriteBackTheDestructorWritesNothing) {
    {
        CIniEx ini;
        ASSERT_EQ(ini.Open(Path(), false, true, true), CIniEx::OpenResult::Opened);
        ini.SetValue("A", "k", "1");
    }
    EXPECT_EQ(ReadFileBytes(SPath()), "");
}

class ConfigPathTest : public ::testing::Test {
protected:
    QString Sub(const char* name) {
        QDir(dir_.path()).mkpath(name);
        return dir_.filePath(name);
    }
    QTemporaryDir dir_;
};

TEST_F(ConfigPathTest, CommandLineOverrideWins) {
    const QString prog = Sub("prog");
    EXPECT_EQ(ResolveConfigPath({"kv60x", "--config", "/tmp/x.ini"}, prog, Sub("user")),
              "/tmp/x.ini");
    EXPECT_EQ(ResolveConfigPath({"kv60x", "--config=/tmp/y.ini"}, prog, Sub("user")), "/tmp/y.ini");
    EXPECT_EQ(ResolveConfigPath({"kv60x", "--config"}, prog, Sub("user")), prog + "/kv60x.ini");
}

TEST_F(ConfigPathTest, BesideTheProgramWhenWritableElseThePerUserFolder) {
    const QString prog = Sub("prog");
    const QString user = dir_.filePath("user/kv60x");
    EXPECT_EQ(ResolveConfigPath({"kv60x"}, prog, user), prog + "/kv60x.ini");
    EXPECT_EQ(ResolveConfigPath({"kv60x"}, dir_.filePath("missing"), user), user + "/kv60x.ini");
    EXPECT_TRUE(QFileInfo(user).isDir());  // created for the first save
}

}  // namespace
