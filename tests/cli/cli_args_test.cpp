// The arguments of kv60x-cli before any meter is reached: help texts, parse
// errors and the port argument, all in Polish, one line per failure.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "cli_test_support.h"

using clitest::RunIn;

namespace {

TEST(CliArgs, EveryHelpIsPolishAndNamesItsCommand) {
    const std::vector<QStringList> commands = {
        {"ports"},
        {"info"},
        {"watch"},
        {"log"},
        {"table", "read"},
        {"table", "write"},
        {"table", "diff"},
        {"commission"},
        {"record", "read"},
        {"record", "write"},
        {"show"},
        {"convert"},
        {"service", "date"},
        {"service", "serial"},
        {"service", "letter"},
        {"service", "coefficient"},
    };
    // Qt's own help words would show an English help slipping back in.
    static const QRegularExpression english(
        QStringLiteral("Usage|Options|Arguments|Displays|Commands|Exit codes"));
    for (const QStringList& command : commands) {
        const auto r = RunIn(command + QStringList{"--help"});
        const std::string name = command.join(' ').toStdString();
        EXPECT_EQ(r.code, 0) << name;
        EXPECT_TRUE(r.err.isEmpty()) << name;
        EXPECT_TRUE(
            r.out.startsWith(QStringLiteral("Użycie: kv60x-cli %1 [opcje]").arg(command.join(' '))))
            << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("\nOpcje:\n  -h, --help"))) << name;
        EXPECT_FALSE(r.out.contains(english)) << r.out.toStdString();
    }
    const auto overview = RunIn({"--help"});
    EXPECT_EQ(overview.code, 0);
    EXPECT_FALSE(overview.out.contains(english)) << overview.out.toStdString();
    for (const char* name :
         {"ports", "info", "watch", "log", "table", "record", "show", "convert", "service"}) {
        EXPECT_TRUE(overview.out.contains(QStringLiteral("\n  %1 ").arg(QLatin1String(name))))
            << name;
    }
}

TEST(CliArgs, SubcommandHelpListsTheSameLinesAsTheOverview) {
    for (const char* command : {"table", "record", "service"}) {
        const auto r = RunIn({QString::fromLatin1(command), "--help"});
        EXPECT_EQ(r.code, 0) << command;
        const QStringList lines = r.out.split(QChar('\n'), Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 2) << command;
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Użycie: kv60x-cli %1 ").arg(command)));
        const QString overview = RunIn({"-h"}).out;
        for (const QString& line : lines) {
            const QString synopsis = line.mid(line.indexOf(QStringLiteral("kv60x-cli ")) + 10);
            EXPECT_TRUE(synopsis.startsWith(QLatin1String(command))) << line.toStdString();
            EXPECT_TRUE(overview.contains(QStringLiteral("  ") + synopsis)) << line.toStdString();
        }
    }
}

TEST(CliArgs, WrongArgumentsGiveOnePolishLineAndCodeTwo) {
    const struct {
        QStringList args;
        QString line;
    } cases[] = {
        {{"info", "--bogus"}, "kv60x-cli info: nieznana opcja --bogus (zob. --help)"},
        {{"info", "-x"}, "kv60x-cli info: nieznana opcja -x (zob. --help)"},
        {{"info", "--port"}, "kv60x-cli info: brak wartości opcji --port (zob. --help)"},
        {{"ports", "--demo=1"},
         "kv60x-cli ports: opcja --demo nie przyjmuje wartości (zob. --help)"},
        {{"show"}, "kv60x-cli show: nieprawidłowa liczba argumentów (zob. --help)"},
        {{"table"}, "kv60x-cli table: podaj read, write albo diff (zob. --help)"},
        {{"record", "copy"}, "kv60x-cli record: podaj read albo write (zob. --help)"},
        {{"service", "time"},
         "kv60x-cli service: podaj date, serial, letter albo coefficient (zob. --help)"},
        {{"info", "--port", "COM0"},
         "Nieprawidłowy port: COM0 (podaj COMn, numer COM lub ścieżkę urządzenia)"},
        {{"info", "--port", "COM7 (x)"},
         "Nieprawidłowy port: COM7 (x) (podaj COMn, numer COM lub ścieżkę urządzenia)"},
        {{"info", "--port", "/nonexistent/tty"}, "Nie ma takiego portu: /nonexistent/tty"},
        {{"info", "--port", "COM1", "--demo"}, "Opcje --demo i --port wykluczają się"},
        {{"info"}, "Podaj port: --port COMn|N|ŚCIEŻKA albo --demo"},
    };
    for (const auto& c : cases) {
        const auto r = RunIn(c.args);
        EXPECT_EQ(r.code, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, c.line + QChar('\n')) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << c.args.join(' ').toStdString();
    }
}

}  // namespace
