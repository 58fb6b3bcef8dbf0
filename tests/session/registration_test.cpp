// The registration file: line format, headers, comments, and what happens when
// the disk or the file goes away under it.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <vector>

#include "app/app_settings.h"
#include "app/ini_ex.h"
#include "files/byte_text.h"
#include "session/registration.h"
#include "support/test_support.h"

using testsupport::ReadFileData;

namespace {

TemperatureReading Reading(double t, bool error = false) {
    TemperatureReading r;
    r.temperature = t;
    r.temperatureError = error;
    r.valid = true;
    return r;
}

}  // namespace

TEST(RegistrationFormat, SeparatorsAndDecimalSigns) {
    EXPECT_EQ(RegistrationSeparator(1), QChar('\t'));
    EXPECT_EQ(RegistrationSeparator(2), QChar(','));
    EXPECT_EQ(RegistrationSeparator(3), QChar(';'));
    EXPECT_EQ(RegistrationSeparator(0), LocaleListSeparator());
    EXPECT_EQ(RegistrationDecimalSign(1), QChar(','));
    EXPECT_EQ(RegistrationDecimalSign(2), QChar('.'));
    EXPECT_EQ(RegistrationDecimalSign(7), LocaleDecimalSign());
    // Where the decimal sign is a comma the list separator cannot be one.
    EXPECT_NE(LocaleListSeparator(), LocaleDecimalSign());
}

TEST(RegistrationFormat, ValueColumn) {
    EXPECT_EQ(RegistrationValue(Reading(21.54), true, QChar(',')), "21,5");
    EXPECT_EQ(RegistrationValue(Reading(-2.0), true, QChar('.')), "-2.0");
    EXPECT_EQ(RegistrationValue(Reading(21.5, true), true, QChar('.')), "???");
    EXPECT_EQ(RegistrationValue(Reading(21.5), false, QChar('.')), "???");        // link down
    EXPECT_EQ(RegistrationValue(TemperatureReading{}, true, QChar('.')), "???");  // never read
}

TEST(RegistrationFormat, HeaderAndDateTime) {
    EXPECT_EQ(RegistrationHeader(QChar(';')),
              QString::fromUtf8("Data i Godzina;Temperatura °C\r\n"));
    EXPECT_FALSE(RegistrationDateTime(std::time(nullptr)).isEmpty());
}

TEST(RegistrationFileTest, HeaderOnceThenLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    RegistrationFile f;
    ASSERT_EQ(f.Open(path), RegistrationFile::OpenResult::Created);
    ASSERT_TRUE(f.WriteLine("T1", QChar(','), "21,5"));
    ASSERT_TRUE(f.WriteLine("T2", QChar(','), "21,6"));
    EXPECT_EQ(
        ReadFileData(path),
        QString::fromUtf8("Data i Godzina,Temperatura °C\r\nT1,21,5\r\nT2,21,6\r\n").toLocal8Bit());
    f.Close();

    // Appending to an existing file: the header comes again, after the old lines.
    ASSERT_EQ(f.Open(path), RegistrationFile::OpenResult::Existed);
    ASSERT_TRUE(f.WriteText("\r\nKomentarz\r\n"));
    ASSERT_TRUE(f.WriteLine("T3", QChar(';'), "1.0"));
    EXPECT_TRUE(ReadFileData(path).endsWith(
        QString::fromUtf8("T2,21,6\r\n\r\nKomentarz\r\nData i Godzina;Temperatura °C\r\nT3;1.0\r\n")
            .toLocal8Bit()));

    // The same header pending again right after: written only if it differs.
    f.SetHeaderPending();
    ASSERT_TRUE(f.WriteLine("T4", QChar(';'), "1.1"));
    EXPECT_TRUE(ReadFileData(path).endsWith("T3;1.0\r\nT4;1.1\r\n"));
}

TEST(RegistrationFileTest, TruncateStartsAfresh) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.txt");
    QFile pre(path);
    ASSERT_TRUE(pre.open(QIODevice::WriteOnly));
    pre.write("old contents\r\n");
    pre.close();
    RegistrationFile f;
    ASSERT_EQ(f.Open(path), RegistrationFile::OpenResult::Existed);
    ASSERT_TRUE(f.Truncate());
    ASSERT_TRUE(f.WriteLine("T1", QChar('\t'), "20.0"));
    EXPECT_EQ(ReadFileData(path),
              QString::fromUtf8("Data i Godzina\tTemperatura °C\r\nT1\t20.0\r\n").toLocal8Bit());
}

TEST(RegistrationFileTest, UnusablePathsFailToOpen) {
    QTemporaryDir dir;
    RegistrationFile f;
    EXPECT_EQ(f.Open(QString()), RegistrationFile::OpenResult::Failed);
    EXPECT_EQ(f.Open(dir.filePath("missing/log.csv")), RegistrationFile::OpenResult::Failed);
    EXPECT_EQ(f.Open(dir.path()), RegistrationFile::OpenResult::Failed);  // a folder
    EXPECT_FALSE(f.IsOpen());
}

TEST(RegistrationFileTest, RemovedFileAndFolderComeBackWithoutLosingLines) {
    QTemporaryDir dir;
    const QString sub = dir.filePath("logs");
    ASSERT_TRUE(QDir().mkpath(sub));
    const QString path = sub + "/log.csv";
    RegistrationFile f;
    ASSERT_EQ(f.Open(path), RegistrationFile::OpenResult::Created);
    ASSERT_TRUE(f.WriteLine("T1", QChar(','), "1.0"));

    // The file removed: the next line creates it again, with its header.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(f.WriteLine("T2", QChar(','), "2.0"));
    EXPECT_EQ(ReadFileData(path),
              QString::fromUtf8("Data i Godzina,Temperatura °C\r\nT2,2.0\r\n").toLocal8Bit());

    // The folder removed: writing fails, and says so, until it is back.
    ASSERT_TRUE(QDir(sub).removeRecursively());
    EXPECT_FALSE(f.WriteLine("T3", QChar(','), "3.0"));
    EXPECT_TRUE(f.Failing());
    EXPECT_FALSE(f.WriteLine("T4", QChar(','), "4.0"));
    ASSERT_TRUE(QDir().mkpath(sub));
    EXPECT_TRUE(f.WriteLine("T5", QChar(','), "5.0"));
    EXPECT_FALSE(f.Failing());
    EXPECT_EQ(ReadFileData(path),
              QString::fromUtf8("Data i Godzina,Temperatura °C\r\nT5,5.0\r\n").toLocal8Bit());
}

TEST(RegistrationFileTest, FullDiskNeverLeavesHalfALine) {
    // A file size limit stands in for a full disk: every write past it fails.
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    RegistrationFile f;
    ASSERT_EQ(f.Open(path), RegistrationFile::OpenResult::Created);
    ASSERT_TRUE(f.WriteLine("T1", QChar(','), "1.0"));
    const qint64 size = QFileInfo(path).size();

    struct sigaction ignore {};
    struct sigaction old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit oldLimit{};
    getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit limit = oldLimit;
    limit.rlim_cur = static_cast<rlim_t>(size + 10);  // room for part of a line only
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = f.WriteLine("T2-a-long-date-and-time", QChar(','), "2.0");
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_FALSE(written);
    EXPECT_TRUE(f.Failing());
    EXPECT_EQ(QFileInfo(path).size(), size);  // the part that got out was taken back
    EXPECT_TRUE(f.WriteLine("T3", QChar(','), "3.0"));
    EXPECT_TRUE(ReadFileData(path).endsWith("T1,1.0\r\nT3,3.0\r\n"));
}

TEST(RegistrationFileTest, NameFromTheConfigurationThatIsNotUtf8OpensTheSameFile) {
    QTemporaryDir dir;
    // "Łódź.csv" in code page 1250, already holding a line.
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray name = folder + "/\xA3\xF3\x64\x9F.csv";
    {
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "T0,0.0\r\n", 8), 8);
        ::close(fd);
    }
    CIniEx ini;
    ini.Parse("[LOG]\r\nFILE_NAME=" + name + "\r\n");
    const AppSettings s = LoadAppSettings(ini);
    RegistrationFile f;
    EXPECT_EQ(f.Open(s.fileName), RegistrationFile::OpenResult::Existed);
    EXPECT_TRUE(f.WriteLine("T1", QChar(','), "1.0"));
    f.Close();
    // No second file under a mangled name; the line went to the user's file.
    // (Qt's own listing cannot name such a file: the folder is read directly.)
    std::vector<QByteArray> names;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        }
        ::closedir(d);
    }
    EXPECT_EQ(names, std::vector<QByteArray>{QByteArray("\xA3\xF3\x64\x9F.csv")});
    struct stat st {};
    ASSERT_EQ(::stat(name.constData(), &st), 0);
    EXPECT_GT(st.st_size, 8);
    for (const QByteArray& n : names) ::unlink((folder + '/' + n).constData());
    // And the name goes back into the configuration as the same bytes.
    StoreAppSettings(ini, s);
    EXPECT_TRUE(ini.ToBytes().startsWith("[LOG]\r\nFILE_NAME=" + name + "\r\n"));
}
