// The real kv60x-cli and kv60x-monitor binaries: exit codes, stderr, and a
// stop by SIGINT.

#include <gtest/gtest.h>

#include <signal.h>

#include <QProcess>
#include <QTemporaryDir>

#include "support/sim_fixture.h"
#include "support/test_support.h"

namespace {

struct ProcResult {
    int code = -1;
    QString out;
    QStringList errLines;
};

ProcResult RunBinary(const QStringList& args, int timeoutMs = 20000,
                     const char* binary = KV60X_CLI_BINARY) {
    QProcess p;
    p.start(QString::fromUtf8(binary), args);
    ProcResult r;
    if (!p.waitForStarted(5000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.errLines = QString::fromUtf8(p.readAllStandardError()).split(QChar('\n'), Qt::SkipEmptyParts);
    return r;
}

TEST(CliProcess, BadArgumentsAndFilesGiveCodeTwoAndOneLine) {
    QTemporaryDir dir;
    const QString cut = dir.filePath("cut.kvr");
    ASSERT_TRUE(
        testsupport::WriteFileBytes(cut.toStdString(), std::string("\x01\x00\x00\x00\x05", 5)));
    const QString json = dir.filePath("bad.json");
    ASSERT_TRUE(
        testsupport::WriteFileBytes(json.toStdString(), "{\"VERSION\": 1, \"RECORDS\": [{}]}"));
    const std::vector<QStringList> cases = {
        {},
        {"frobnicate"},
        {"info", "--bogus"},
        {"info", "--port", "COM198"},
        {"show", cut},
        {"show", dir.filePath("missing.kvz")},
        {"convert", json, dir.filePath("out.kvz")},
        {"table", "write", "--demo"},
        {"service", "date", "2009-8-1", "--demo", "--service"},
    };
    for (const QStringList& args : cases) {
        const ProcResult r = RunBinary(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.errLines.size(), 1)
            << args.join(' ').toStdString() << ": " << r.errLines.join('|').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.kvz")));
}

TEST(CliProcess, HelpForEveryCommand) {
    for (const QStringList& args : std::vector<QStringList>{{"--help"},
                                                            {"ports", "--help"},
                                                            {"info", "--help"},
                                                            {"watch", "--help"},
                                                            {"log", "--help"},
                                                            {"table", "read", "--help"},
                                                            {"table", "write", "--help"},
                                                            {"record", "write", "--help"},
                                                            {"show", "--help"},
                                                            {"convert", "--help"},
                                                            {"service", "serial", "--help"}}) {
        const ProcResult r = RunBinary(args);
        EXPECT_EQ(r.code, 0) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("Użycie: kv60x-cli"))) << r.out.toStdString();
    }
}

TEST(CliProcess, DemoTableToJsonAndBackIsByteForByte) {
    QTemporaryDir dir;
    const QString kvz = dir.filePath("t.kvz");
    ProcResult r = RunBinary({"table", "read", "--demo", "--out", kvz});
    ASSERT_EQ(r.code, 0) << r.errLines.join('|').toStdString();
    const QString json = dir.filePath("t.json");
    ASSERT_EQ(RunBinary({"convert", kvz, json}).code, 0);
    const QString kvz2 = dir.filePath("t2.kvz");
    ASSERT_EQ(RunBinary({"convert", json, kvz2}).code, 0);
    EXPECT_EQ(testsupport::ReadFileBytes(kvz.toStdString()),
              testsupport::ReadFileBytes(kvz2.toStdString()));
    r = RunBinary({"show", kvz2, "--json"});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.out.toUtf8().toStdString(), testsupport::ReadFileBytes(json.toStdString()));
}

TEST(CliProcess, LogStopsOnSigintWithTheLastLineWhole) {
    testsupport::SimulatedMeter meter;
    QTemporaryDir dir;
    const QString file = dir.filePath("log.txt");
    QProcess p;
    p.start(QStringLiteral(KV60X_CLI_BINARY),
            {"log", "--port", QString::fromStdString(meter.sim().LinkPath()), "--interval", "0.1",
             "--out", file, "--sep", "tab", "--decimal", "dot"});
    ASSERT_TRUE(p.waitForStarted(5000));
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            return QString::fromStdString(testsupport::ReadFileBytes(file.toStdString()))
                       .count("\r\n") >= 5;
        },
        10000));
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString text = QString::fromStdString(testsupport::ReadFileBytes(file.toStdString()));
    ASSERT_TRUE(text.endsWith(QStringLiteral("\t21.5\r\n"))) << text.toStdString();
    const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.first(), QStringLiteral("Data i Godzina\tTemperatura °C"));
    for (int i = 1; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].endsWith(QStringLiteral("\t21.5"))) << i;
}

TEST(CliProcess, SilentMeterIsAMeterFailure) {
    testsupport::SimulatedMeter meter;
    SimFaults f;
    f.silent = true;
    meter.sim().SetFaults(f);
    // The real time-outs; the first cycle is given up after the bound.
    const ProcResult r = RunBinary({"service", "serial", "5", "--service", "--timeout", "1.5",
                                    "--port", QString::fromStdString(meter.sim().LinkPath())});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.errLines, QStringList{QStringLiteral("Brak komunikacji z urządzeniem.")});
    EXPECT_EQ(meter.sim().CountReceived("SW"), 0u);
}

TEST(MonitorProcess, SpeaksPolishShowsTheDemoMeterAndStopsOnSigint) {
    ProcResult r = RunBinary({"--help"}, 20000, KV60X_MONITOR_BINARY);
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Użycie: kv60x-monitor"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Opcje:"))) << r.out.toStdString();
    for (const QStringList& args :
         std::vector<QStringList>{{}, {"--bogus"}, {"--port"}, {"--port", "COM999"}}) {
        r = RunBinary(args, 20000, KV60X_MONITOR_BINARY);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        ASSERT_EQ(r.errLines.size(), 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.errLines.first().startsWith(QStringLiteral("kv60x-monitor: ")));
        EXPECT_FALSE(r.errLines.first().contains(QStringLiteral("option"))) << "English from Qt";
    }

    QProcess p;
    p.start(QStringLiteral(KV60X_MONITOR_BINARY), {"--demo"});
    ASSERT_TRUE(p.waitForStarted(5000));
    QString out;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            p.waitForReadyRead(50);
            out += QString::fromUtf8(p.readAllStandardOutput());
            return out.contains(QStringLiteral("KV-607A nr 17")) &&
                   out.contains(QStringLiteral("temperatura: 2"));
        },
        10000))
        << out.toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

}  // namespace
