// log: the temperature into a registration file at a fixed interval.

#include <QFileInfo>
#include <chrono>
#include <ctime>
#include <map>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "session/registration_session.h"

namespace cli {

namespace {

// The options of `log`, checked before the meter is touched.
struct LogSettings {
    double seconds = 0;
    QString path;
    int sepFormat = 0;     // as FILE_SEP_FORMAT
    int decSeparator = 0;  // as FILE_DEC_SEPARATOR
    int maxLines = 0;
    bool append = false;
    bool truncate = false;
    bool hasComment = false;
    QString comment;
};

struct LogOptions {
    QCommandLineOption interval{QStringLiteral("interval"),
                                QStringLiteral("Sekundy między wierszami (od 0.1 do 86399)."),
                                QStringLiteral("S")};
    QCommandLineOption out{QStringLiteral("out"), QStringLiteral("Plik rejestracji."),
                           QStringLiteral("PLIK")};
    QCommandLineOption sep{
        QStringLiteral("sep"),
        QStringLiteral("Separator kolumn: tab, comma, semicolon albo locale (domyślnie)."),
        QStringLiteral("SEP"), QStringLiteral("locale")};
    QCommandLineOption dec{QStringLiteral("decimal"),
                           QStringLiteral("Znak dziesiętny: comma, dot albo locale (domyślnie)."),
                           QStringLiteral("ZNAK"), QStringLiteral("locale")};
    QCommandLineOption comment{QStringLiteral("comment"),
                               QStringLiteral("Komentarz zapisywany na początku rejestracji."),
                               QStringLiteral("TEKST")};
    QCommandLineOption append{QStringLiteral("append"),
                              QStringLiteral("Dopisuj do istniejącego pliku.")};
    QCommandLineOption truncate{QStringLiteral("truncate"),
                                QStringLiteral("Najpierw skasuj zawartość istniejącego pliku.")};
};

QString LogFileUnusable(const QString& path) {
    return QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny. (%1)")
        .arg(path);
}

// The interval, the separator and the decimal sign; -1 when right.
int ReadLogFormat(const CliEnv& env, const CommandArgs& a, const LogOptions& o, LogSettings* s) {
    if (!a.IsSet(o.interval) || !ParseStrictNumber(a.Value(o.interval), &s->seconds) ||
        s->seconds < 0.1 || s->seconds > 86399) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj interwał rejestracji: --interval S (0.1..86399 s)"));
    }
    static const std::map<QString, int> kSeps = {
        {"tab", 1}, {"comma", 2}, {"semicolon", 3}, {"locale", 0}};
    static const std::map<QString, int> kDecs = {{"comma", 1}, {"dot", 2}, {"locale", 0}};
    s->path = a.Value(o.out);
    if (s->path.isEmpty())
        return Fail(env, kExitUsage, QStringLiteral("Podaj plik rejestracji: --out PLIK"));
    const auto sepIt = kSeps.find(a.Value(o.sep));
    const auto decIt = kDecs.find(a.Value(o.dec));
    if (sepIt == kSeps.end())
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowy separator kolumn: %1").arg(a.Value(o.sep)));
    if (decIt == kDecs.end())
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowy znak dziesiętny: %1").arg(a.Value(o.dec)));
    s->sepFormat = sepIt->second;
    s->decSeparator = decIt->second;
    return -1;
}

// Every option of `log`; -1 when they all hold.
int ReadLogSettings(const CliEnv& env, const CommandArgs& a, const LogOptions& o, LogSettings* s) {
    if (int rc = ReadLogFormat(env, a, o, s); rc >= 0) return rc;
    s->maxLines = ReadCount(env, a);
    if (s->maxLines < 0) return kExitUsage;
    s->append = a.IsSet(o.append);
    s->truncate = a.IsSet(o.truncate);
    s->hasComment = a.IsSet(o.comment);
    s->comment = a.Value(o.comment);
    if (s->append && s->truncate) {
        return Fail(env, kExitUsage, QStringLiteral("Opcje --append i --truncate wykluczają się"));
    }
    const bool existed = QFileInfo::exists(s->path);
    if (existed && !s->append && !s->truncate) {
        return Fail(
            env, kExitUsage,
            QStringLiteral(
                "Plik rejestracji pomiarów już istnieje: %1 (podaj --append, aby dopisywać, "
                "albo --truncate, aby skasować poprzednią zawartość)")
                .arg(s->path));
    }
    if (!existed && !OutputPathUsable(s->path))
        return Fail(env, kExitUsage, LogFileUnusable(s->path));
    return -1;
}

// Opens the registration file as asked and writes the comment; -1 when done.
// The window's registration session: --append and --truncate stand for its
// answers to the question about an existing file.
int OpenLogFile(const CliEnv& env, const LogSettings& s, RegistrationSession* file) {
    const RegistrationSession::OpenResult opened = file->Open(s.path);
    RegistrationStart how = RegistrationStart::NewFile;
    if (opened == RegistrationSession::OpenResult::Existed) {
        how = s.truncate ? RegistrationStart::Empty : RegistrationStart::Append;
    }
    file->SetFormat(s.sepFormat, s.decSeparator);
    if (opened == RegistrationSession::OpenResult::Failed ||
        !file->Begin(how, s.hasComment, s.comment)) {
        return Fail(env, kExitUsage, LogFileUnusable(s.path));
    }
    return -1;
}

// Writes a line every interval until stopped or --count lines are written.
// True when every line reached the file.
bool LogLines(const CliEnv& env, const LogSettings& s, const MeterSession& meter,
              RegistrationSession& file) {
    const auto start = std::chrono::steady_clock::now();
    const auto step = std::chrono::microseconds(static_cast<int64_t>(s.seconds * 1e6));
    int64_t written = 0;
    bool lost = false;
    bool failing = false;
    while (!env.Stopped()) {
        const auto due = start + step * written;
        const auto now = std::chrono::steady_clock::now();
        if (now < due) {
            Sleep(static_cast<int>(std::min<int64_t>(
                20, std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count() + 1)));
            continue;
        }
        const std::time_t when = env.clock ? env.clock() : std::time(nullptr);
        if (file.WriteReading(meter.Snapshot(), when)) {
            failing = false;
            env.Out(file.LastLine() + QChar('\n'));
        } else {
            lost = true;
            if (!failing)
                env.Err(QStringLiteral("Błąd zapisu do pliku rejestracji: %1\n").arg(s.path));
            failing = true;
        }
        ++written;
        if (s.maxLines && written >= s.maxLines) break;
        // After a long stall (a suspended machine) go on from now, not in a burst.
        if (std::chrono::steady_clock::now() > start + step * (written + 1)) {
            written = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start) /
                      step;
        }
    }
    return !lost;
}

}  // namespace

int CmdLog(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("log"),
                  QStringLiteral("Rejestruje temperaturę w pliku tekstowym/CSV w stałych "
                                 "odstępach, w tym samym formacie co rejestracja do pliku w "
                                 "programie, aż do przerwania."));
    a.AddMeterOptions();
    const LogOptions o;
    for (const QCommandLineOption* option :
         {&o.interval, &o.out, &o.sep, &o.dec, &o.comment, &o.append, &o.truncate, &CountOption()})
        a.Add(*option);
    if (int rc = a.Parse(env, args, 0, 0); rc >= 0) return rc;
    LogSettings settings;
    if (int rc = ReadLogSettings(env, a, o, &settings); rc >= 0) return rc;

    MeterSession s;
    if (int rc = ConnectMeter(env, a, s, true); rc >= 0) return rc;
    RegistrationSession file;
    if (int rc = OpenLogFile(env, settings, &file); rc >= 0) return rc;
    const bool whole = LogLines(env, settings, s, file);
    file.Close();
    // A line that did not reach the file is a file not written, as for every
    // other command.
    return whole ? kExitOk : kExitUsage;
}

}  // namespace cli
