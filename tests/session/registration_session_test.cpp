// The registration session both the window and kv60x-cli run: how a file
// starts (new, appended, emptied, left alone), the comment, the column titles,
// the value column from a driver snapshot, CSV that spreadsheets read, and the
// disk going away underneath.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

#include <clocale>
#include <cstdlib>

#include "session/registration_session.h"
#include "support/test_support.h"

using testsupport::ReadFileData;
using testsupport::WriteFileData;

namespace {

QByteArray Local(const char* utf8) {
    return QString::fromUtf8(utf8).toLocal8Bit();
}

MeterSnapshot Meter(double t, bool link = true, bool valid = true, bool error = false) {
    MeterSnapshot m;
    m.link = link;
    m.temperature.temperature = t;
    m.temperature.valid = valid;
    m.temperature.temperatureError = error;
    return m;
}

// Python's csv module reads the file with the separator; prints the rows.
QString ReadAsCsv(const QString& path, QChar separator) {
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import csv, json, sys\n"
                             "rows = list(csv.reader(open(sys.argv[1], newline='', "
                             "encoding='utf-8'), delimiter=sys.argv[2]))\n"
                             "print(json.dumps(rows, ensure_ascii=False))\n"),
              path, QString(separator)});
    if (!py.waitForFinished(10000) || py.exitCode() != 0) return QString();
    return QString::fromUtf8(py.readAllStandardOutput()).trimmed();
}

bool HavePython() {
    return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty();
}

class Session : public ::testing::Test {
protected:
    QString Path(const char* name) { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
    RegistrationSession s;
};

}  // namespace

TEST_F(Session, HowAFileStarts) {
    // New file with the comment: comment lines, titles, readings.
    const QString fresh = Path("nowy.csv");
    ASSERT_EQ(s.Open(fresh), RegistrationSession::OpenResult::Created);
    s.SetFormat(3, 1);
    ASSERT_TRUE(s.Begin(RegistrationStart::NewFile, true, QStringLiteral("Partia A\nsuszarnia 2")));
    ASSERT_TRUE(s.WriteLine(QStringLiteral("T1"), QStringLiteral("21,5")));
    EXPECT_EQ(ReadFileData(fresh),
              Local("Partia A\r\nsuszarnia 2\r\nData i Godzina;Temperatura °C\r\n"
                    "T1;21,5\r\n"));

    // Appended with the comment: an empty line first, then the same.
    const QString old = Path("stary.txt");
    WriteFileData(old, "stara linia\r\n");
    ASSERT_EQ(s.Open(old), RegistrationSession::OpenResult::Existed);
    s.SetFormat(1, 2);
    ASSERT_TRUE(s.Begin(RegistrationStart::Append, true, QStringLiteral("dalej\r\n")));
    ASSERT_TRUE(s.WriteLine(QStringLiteral("T2"), QStringLiteral("1.0")));
    EXPECT_EQ(
        ReadFileData(old),
        Local("stara linia\r\n\r\ndalej\r\n\r\nData i Godzina\tTemperatura °C\r\nT2\t1.0\r\n"));

    // Appended with the comment option on but an empty comment: only the empty line.
    WriteFileData(old, "x\r\n");
    ASSERT_EQ(s.Open(old), RegistrationSession::OpenResult::Existed);
    ASSERT_TRUE(s.Begin(RegistrationStart::Append, true, QString()));
    ASSERT_TRUE(s.WriteLine(QStringLiteral("T3"), QStringLiteral("2.0")));
    EXPECT_EQ(ReadFileData(old), Local("x\r\n\r\nData i Godzina\tTemperatura °C\r\nT3\t2.0\r\n"));

    // Appended without the comment option (as after launch): titles, then lines.
    WriteFileData(old, "x\r\n");
    ASSERT_EQ(s.Open(old), RegistrationSession::OpenResult::Existed);
    ASSERT_TRUE(s.Begin(RegistrationStart::Append, false, QStringLiteral("nie pisany")));
    ASSERT_TRUE(s.WriteLine(QStringLiteral("T4"), QStringLiteral("3.0")));
    EXPECT_EQ(ReadFileData(old), Local("x\r\nData i Godzina\tTemperatura °C\r\nT4\t3.0\r\n"));

    // Emptied: the comment (any line ends) first, nothing of the old contents.
    WriteFileData(old, "stare dane\r\nwiele linii\r\n");
    ASSERT_EQ(s.Open(old), RegistrationSession::OpenResult::Existed);
    ASSERT_TRUE(s.Begin(RegistrationStart::Empty, true, QStringLiteral("a\rb\nc")));
    ASSERT_TRUE(s.WriteLine(QStringLiteral("T5"), QStringLiteral("4.0")));
    EXPECT_EQ(ReadFileData(old),
              Local("a\r\nb\r\nc\r\nData i Godzina\tTemperatura °C\r\nT5\t4.0\r\n"));
}

TEST_F(Session, OpenedButNotBegunLeavesTheFileAsItWas) {
    // The question about an existing file got no answer: nothing may change.
    const QString path = Path("wazne.csv");
    WriteFileData(path, "dane z wczoraj\r\n");
    ASSERT_EQ(s.Open(path), RegistrationSession::OpenResult::Existed);
    EXPECT_TRUE(s.IsOpen());
    s.Close();
    EXPECT_FALSE(s.IsOpen());
    EXPECT_FALSE(s.WriteLine(QStringLiteral("T"), QStringLiteral("1.0")));
    EXPECT_EQ(ReadFileData(path), "dane z wczoraj\r\n");
}

TEST_F(Session, ValueColumnFromTheSnapshot) {
    const QString path = Path("wartosci.csv");
    ASSERT_EQ(s.Open(path), RegistrationSession::OpenResult::Created);
    s.SetFormat(3, 1);
    ASSERT_TRUE(s.Begin(RegistrationStart::NewFile, false, QString()));
    const std::time_t when = 1700000000;
    ASSERT_TRUE(s.WriteReading(Meter(21.54), when));
    EXPECT_EQ(s.LastLine(), RegistrationDateTime(when) + QStringLiteral(";21,5"));
    // No link (a port just changed, a meter gone silent): "???", even with a
    // reading still marked valid.
    ASSERT_TRUE(s.WriteReading(Meter(21.5, false), when));
    EXPECT_TRUE(s.LastLine().endsWith(QStringLiteral(";???")));
    ASSERT_TRUE(s.WriteReading(Meter(21.5, true, false), when));  // never read
    EXPECT_TRUE(s.LastLine().endsWith(QStringLiteral(";???")));
    ASSERT_TRUE(s.WriteReading(Meter(21.5, true, true, true), when));  // the meter's error flag
    EXPECT_TRUE(s.LastLine().endsWith(QStringLiteral(";???")));
    s.SetFormat(1, 2);
    ASSERT_TRUE(s.WriteReading(Meter(-0.04), when));
    EXPECT_TRUE(s.LastLine().endsWith(QStringLiteral("\t-0.0")));
    const QList<QByteArray> lines = ReadFileData(path).split('\n');
    EXPECT_EQ(lines.size(), 7);  // titles, five readings, nothing after the last CR LF
}

TEST(RegistrationDateFieldTest, QuotedOnlyWhenTheDateWouldSplitTheLine) {
    const QString polish = QStringLiteral("pią, 5 sty 2024, 12:00:00");
    EXPECT_EQ(RegistrationDateField(polish, QChar(',')), '"' + polish + '"');
    EXPECT_EQ(RegistrationDateField(polish, QChar(';')), polish);
    EXPECT_EQ(RegistrationDateField(polish, QChar('\t')), polish);
    EXPECT_EQ(RegistrationDateField(QStringLiteral("Fri Jan  5 12:00:00 2024"), QChar(',')),
              QStringLiteral("Fri Jan  5 12:00:00 2024"));
    EXPECT_EQ(RegistrationDateField(QStringLiteral("a \"b\" c"), QChar(';')),
              QStringLiteral("\"a \"\"b\"\" c\""));
}

TEST_F(Session, SpreadsheetsReadTwoColumnsWhateverTheFormat) {
    if (!HavePython()) GTEST_SKIP() << "python3 not installed";
    // The Polish "%c" (glibc pl_PL: "%a, %-d %b %Y, %T") holds commas.
    const QString polish = QStringLiteral("pią, 5 sty 2024, 12:00:00");
    struct Case {
        int sep;
        int dec;
        const char* value;
    };
    const Case cases[] = {{3, 1, "21,5"}, {3, 2, "21.5"}, {1, 1, "21,5"}, {2, 2, "21.5"}};
    int n = 0;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QStringLiteral("arkusz%1.csv").arg(n++));
        ASSERT_EQ(s.Open(path), RegistrationSession::OpenResult::Created);
        s.SetFormat(c.sep, c.dec);
        ASSERT_TRUE(s.Begin(RegistrationStart::NewFile, false, QString()));
        ASSERT_TRUE(s.WriteLine(polish, QString::fromUtf8(c.value)));
        ASSERT_TRUE(s.WriteReading(Meter(21.5), 1700000000));
        const QString date = RegistrationDateTime(1700000000);
        const QString expected = QStringLiteral(
                                     "[[\"Data i Godzina\", \"Temperatura °C\"], [\"%1\", \"%2\"], "
                                     "[\"%3\", \"%2\"]]")
                                     .arg(polish, QString::fromUtf8(c.value), date);
        EXPECT_EQ(ReadAsCsv(path, s.Separator()), expected) << "separator " << c.sep;
    }
    s.Close();
    // Where the date needs no quotes the file stays exactly as it always was.
    const QString plain = dir.filePath(QStringLiteral("zwykly.csv"));
    ASSERT_EQ(s.Open(plain), RegistrationSession::OpenResult::Created);
    s.SetFormat(2, 2);
    ASSERT_TRUE(s.Begin(RegistrationStart::NewFile, false, QString()));
    ASSERT_TRUE(s.WriteLine(QStringLiteral("Fri Jan  5 12:00:00 2024"), QStringLiteral("21.5")));
    EXPECT_EQ(ReadFileData(plain),
              Local("Data i Godzina,Temperatura °C\r\nFri Jan  5 12:00:00 2024,21.5\r\n"));
}

TEST_F(Session, RealPolishDateWithACommaSeparatorStaysOneColumn) {
    // The Polish locale compiled for this test alone (the machine may have none).
    if (!HavePython() || QStandardPaths::findExecutable(QStringLiteral("localedef")).isEmpty()) {
        GTEST_SKIP() << "python3 or localedef not installed";
    }
    const QString locales = Path("locale");
    QDir().mkpath(locales);
    QProcess def;
    def.start(QStringLiteral("localedef"),
              {QStringLiteral("-i"), QStringLiteral("pl_PL"), QStringLiteral("-f"),
               QStringLiteral("UTF-8"), locales + QStringLiteral("/pl_PL.UTF-8")});
    if (!def.waitForFinished(60000) || def.exitCode() != 0) {
        GTEST_SKIP() << "no pl_PL locale source";
    }
    const std::string oldTime = std::setlocale(LC_TIME, nullptr);
    ::setenv("LOCPATH", QFile::encodeName(locales).constData(), 1);
    const bool polish = std::setlocale(LC_TIME, "pl_PL.UTF-8") != nullptr;
    const std::time_t when = 1704456000;  // a Friday in January
    const QString date = RegistrationDateTime(when);
    std::setlocale(LC_TIME, oldTime.c_str());
    ::unsetenv("LOCPATH");
    ASSERT_TRUE(polish);
    ASSERT_TRUE(date.contains(QChar(','))) << date.toStdString();

    const QString path = Path("polski.csv");
    ASSERT_EQ(s.Open(path), RegistrationSession::OpenResult::Created);
    s.SetFormat(2, 1);  // "," between the columns, and as the decimal sign too
    ASSERT_TRUE(s.Begin(RegistrationStart::NewFile, false, QString()));
    ASSERT_TRUE(s.WriteLine(date, QStringLiteral("???")));
    EXPECT_EQ(
        ReadAsCsv(path, QChar(',')),
        QStringLiteral("[[\"Data i Godzina\", \"Temperatura °C\"], [\"%1\", \"???\"]]").arg(date));
}

TEST_F(Session, ReadOnlyFileIsNotOpened) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    const QString path = Path("tylko_odczyt.csv");
    WriteFileData(path, "x\r\n");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner));
    EXPECT_EQ(s.Open(path), RegistrationSession::OpenResult::Failed);
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(ReadFileData(path), "x\r\n");
}

TEST_F(Session, FolderReplacedByAFileFailsWholeLinesAndResumes) {
    const QString folder = Path("logi");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/pomiary.txt");
    ASSERT_EQ(s.Open(path), RegistrationSession::OpenResult::Created);
    s.SetFormat(1, 2);
    ASSERT_TRUE(s.Begin(RegistrationStart::NewFile, false, QString()));
    ASSERT_TRUE(s.WriteLine(QStringLiteral("T1"), QStringLiteral("1.0")));

    ASSERT_TRUE(QDir(folder).removeRecursively());
    WriteFileData(folder, "x");
    EXPECT_FALSE(s.WriteReading(Meter(2.0), 1700000000));
    EXPECT_TRUE(s.Failing());
    EXPECT_TRUE(s.IsOpen());  // still registering: the next line tries again
    EXPECT_EQ(ReadFileData(folder), "x");

    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(s.WriteLine(QStringLiteral("T3"), QStringLiteral("3.0")));
    EXPECT_FALSE(s.Failing());
    EXPECT_EQ(ReadFileData(path), Local("Data i Godzina\tTemperatura °C\r\nT3\t3.0\r\n"));

    // An emptying that cannot be done is a failure too, and says so.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    WriteFileData(folder, "x");
    EXPECT_FALSE(s.Begin(RegistrationStart::Empty, false, QString()));
    EXPECT_TRUE(s.Failing());
}
