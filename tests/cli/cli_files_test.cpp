// kv60x-cli and its files as a user meets them: full disks, special files as
// inputs and outputs, standard output that cannot be written.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "cli_test_support.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

struct CliRun {
    int code = -1;
    QByteArray out;
    QStringList errLines;
};

// Runs the real program; `prepare` sets up the child (limits, where stdout goes).
CliRun RunCli(const QStringList& args, const std::function<void(QProcess&)>& prepare = {}) {
    QProcess p;
    if (prepare) prepare(p);
    p.start(QStringLiteral(KV60X_CLI_BINARY), args);
    CliRun r;
    // Ten seconds: a command that blocks on a FIFO or reads /dev/zero fails here.
    if (!p.waitForStarted(5000) || !p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.errLines = QString::fromUtf8(p.readAllStandardError()).split(QChar('\n'), Qt::SkipEmptyParts);
    return r;
}

std::string Describe(const QStringList& args, const CliRun& r) {
    return (args.join(' ') + QStringLiteral(" -> %1: ").arg(r.code) + r.errLines.join('|'))
        .toStdString();
}

class CliFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // A real table and one record of it, from the demo meter.
        auto r = clitest::RunIn({"table", "read", "--demo", "--out", Path("good.kvz")});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        r = clitest::RunIn({"record", "read", "--demo", "--slot", "2", Path("good.kvr")});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
    }
    QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    std::string S(const char* name) const { return Path(name).toStdString(); }
    QStringList Entries() const { return testsupport::FolderEntries(dir_.path()); }
    QTemporaryDir dir_;
};

mode_t TypeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & S_IFMT;
}

TEST_F(CliFiles, FullDiskLeavesEveryKindOfOutputAsItWasAndSaysSo) {
    const auto full = [](QProcess& p) {
        p.setChildProcessModifier([] { testsupport::LimitFileSizeOfThisProcess(100); });
    };
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"good.kvz", "e.json"}, {"good.kvz", "e.csv"}, {"good.kvz", "e.txt"},
        {"good.kvz", "e.kvz"},  {"good.kvr", "e.kvr"}, {"good.kvr", "r.json"},
    };
    for (const auto& [from, to] : cases) {
        const std::string old = std::string("the user's ") + to + "\n";
        ASSERT_TRUE(WriteFileBytes(S(to), old));
        const QStringList before = Entries();
        const QStringList args = {"convert", Path(from), Path(to)};
        const CliRun r = RunCli(args, full);
        EXPECT_EQ(r.code, 2) << Describe(args, r);
        ASSERT_EQ(r.errLines.size(), 1) << Describe(args, r);
        EXPECT_TRUE(r.errLines[0].startsWith(QStringLiteral("Nie można zapisać pliku: ")));
        EXPECT_TRUE(
            r.errLines[0].endsWith(QStringLiteral("(przekroczony dopuszczalny rozmiar pliku)")));
        EXPECT_EQ(ReadFileBytes(S(to)), old) << to;
        EXPECT_EQ(Entries(), before) << to;  // no temporary file left behind
    }
    // The same conversions with room to write succeed.
    for (const auto& [from, to] : cases) {
        const CliRun r = RunCli({"convert", Path(from), Path(to)});
        EXPECT_EQ(r.code, 0) << Describe({from, to}, r);
    }
    // Standard output redirected to a file on the full disk.
    const QStringList args = {"show", Path("good.kvz"), "--json"};
    const CliRun r = RunCli(args, [&](QProcess& p) {
        full(p);
        p.setStandardOutputFile(Path("shown.json"));
    });
    EXPECT_EQ(r.code, 2) << Describe(args, r);
    EXPECT_EQ(r.errLines, QStringList{QStringLiteral(
                              "Błąd zapisu na standardowe wyjście (przekroczony dopuszczalny "
                              "rozmiar pliku)")});

    // A registration file that fills up during `log`: a file not written, code 2.
    const QStringList log = {"log",     "--demo", "--interval", "0.1",
                             "--count", "6",      "--out",      Path("log.txt")};
    const CliRun logged = RunCli(log, full);
    EXPECT_EQ(logged.code, 2) << Describe(log, logged);
    EXPECT_EQ(logged.errLines,
              QStringList{QStringLiteral("Błąd zapisu do pliku rejestracji: ") + Path("log.txt")});
}

TEST_F(CliFiles, FullTmpfsKeepsTheOldOutput) {
    testsupport::SmallTmpfs disk(64);
    if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    const QString target = QString::fromStdString(disk.Path() + "/e.json");
    const std::string old = "{\"old\": true}\n";
    ASSERT_TRUE(WriteFileBytes(target.toStdString(), old));
    disk.Fill();
    const QStringList args = {"convert", Path("good.kvz"), target};
    const CliRun r = RunCli(args);
    EXPECT_EQ(r.code, 2) << Describe(args, r);
    EXPECT_EQ(
        r.errLines,
        QStringList{
            QStringLiteral("Nie można zapisać pliku: %1 (brak miejsca na dysku)").arg(target)});
    EXPECT_EQ(ReadFileBytes(target.toStdString()), old);
}

TEST_F(CliFiles, StandardOutputThatCannotBeWrittenIsAFailure) {
    const auto devFull = [](QProcess& p) { p.setStandardOutputFile(QStringLiteral("/dev/full")); };
    for (const QStringList& args : std::vector<QStringList>{{"show", Path("good.kvz")},
                                                            {"show", Path("good.kvz"), "--json"},
                                                            {"show", Path("good.kvr"), "--csv"},
                                                            {"--help"},
                                                            {"info", "--demo", "--json"}}) {
        const CliRun r = RunCli(args, devFull);
        EXPECT_EQ(r.code, 2) << Describe(args, r);
        EXPECT_EQ(r.errLines, QStringList{QStringLiteral(
                                  "Błąd zapisu na standardowe wyjście (brak miejsca na dysku)")})
            << Describe(args, r);
    }
    // A command that prints nothing does not fail for it, nor with stdout closed.
    EXPECT_EQ(RunCli({"convert", Path("good.kvz"), Path("a.json")}, devFull).code, 0);
    EXPECT_EQ(RunCli({"convert", Path("good.kvz"), Path("b.json")},
                     [](QProcess& p) { p.setStandardOutputFile(QProcess::nullDevice()); })
                  .code,
              0);
    // watch ends by itself once nobody reads what it prints.
    const QStringList watch = {"watch", "--demo"};
    const CliRun r = RunCli(watch, devFull);
    EXPECT_EQ(r.code, 2) << Describe(watch, r);
    EXPECT_EQ(r.errLines.size(), 1) << Describe(watch, r);
}

TEST_F(CliFiles, SpecialFilesAsInputsAreRefusedAtOnce) {
    ASSERT_EQ(::mkfifo(S("fifo.kvz").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(S("fifo.json").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(S("fifo.kvr").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("/dev/zero", S("zero.json").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", S("zero.kvz").c_str()), 0);
    for (const QStringList& args : std::vector<QStringList>{
             {"show", Path("fifo.kvz")},
             {"show", Path("fifo.json")},
             {"show", Path("zero.json")},
             {"convert", Path("zero.kvz"), Path("out.json")},
             {"convert", Path("fifo.kvr"), Path("out.json")},
             {"table", "write", "--demo", Path("fifo.kvz")},
             {"record", "write", "--demo", "--slot", "1", Path("fifo.kvr")},
         }) {
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.code, 2) << Describe(args, r);
        ASSERT_EQ(r.errLines.size(), 1) << Describe(args, r);
        EXPECT_TRUE(r.errLines[0].endsWith(QStringLiteral("(to nie jest zwykły plik)")))
            << Describe(args, r);
    }
    EXPECT_FALSE(QFile::exists(Path("out.json")));

    // A JSON form larger than any record set is refused before it is read.
    QFile big(Path("big.json"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(5 * 1024 * 1024));
    big.close();
    const CliRun r = RunCli({"show", Path("big.json")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.errLines,
              QStringList{QStringLiteral("Nie można otworzyć pliku: %1 (plik większy niż "
                                         "4194304 bajtów)")
                              .arg(Path("big.json"))});
}

TEST_F(CliFiles, SpecialTargetsAreRefusedAndLeftAlone) {
    ASSERT_EQ(::mkfifo(S("fifo.json").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(S("fifo.kvz").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("fifo.json", S("link.csv").c_str()), 0);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.txt"));
    std::vector<const char*> targets = {"fifo.json", "link.csv", "folder.txt"};
    // A character device of our own and a link to it, where we may make one.
    if (::mknod(S("device.json").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        ASSERT_EQ(::symlink("device.json", S("to-device.csv").c_str()), 0);
        targets.push_back("device.json");
        targets.push_back("to-device.csv");
    }
    const QStringList before = Entries();
    for (const char* target : targets) {
        const mode_t type = TypeOf(S(target));
        const QStringList args = {"convert", Path("good.kvz"), Path(target)};
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.code, 2) << Describe(args, r);
        EXPECT_EQ(r.errLines, QStringList{QStringLiteral("Nie można zapisać pliku: %1 (to nie "
                                                         "jest zwykły plik)")
                                              .arg(Path(target))});
        EXPECT_EQ(TypeOf(S(target)), type) << target;
    }
    EXPECT_EQ(Entries(), before);
    // Commands that read the meter first refuse such a target before they start.
    for (const QStringList& args : std::vector<QStringList>{
             {"table", "read", "--demo", "--out", Path("fifo.kvz")},
             {"record", "read", "--demo", "--slot", "1", Path("fifo.json")},
         }) {
        const CliRun r = RunCli(args);
        EXPECT_EQ(r.code, 2) << Describe(args, r);
        EXPECT_EQ(r.errLines.size(), 1) << Describe(args, r);
    }
    EXPECT_EQ(TypeOf(S("fifo.kvz")), mode_t(S_IFIFO));
}

}  // namespace
