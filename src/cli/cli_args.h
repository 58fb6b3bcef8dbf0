#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "files/safe_file.h"
#include "journal/journal_settings.h"
#include "records/char_rec_data.h"

// What every command of kv60x-cli shares in its arguments and its failures:
// failing with one line, the files it writes, reading its arguments (with the
// Polish help built from them) and the options several commands have. The
// connection to the meter is in cli_connection.h.
namespace cli {

inline constexpr char kProgram[] = "kv60x-cli";

// One failure: exactly one line on stderr (a message with its own line breaks
// is joined into one line). Returns `code`.
int Fail(const CliEnv& env, int code, QString line);

void Sleep(int ms);

// A whole integer (blanks around it allowed); false on anything else.
bool ParseStrictInt(const QString& text, int* out);
// A whole finite decimal number; a comma is taken for the decimal sign.
bool ParseStrictNumber(QString text, double* out);

// A file may be put at `path`: missing or a regular file, in a folder that takes
// new files (CheckOutputTarget).
bool OutputPathUsable(const QString& path, FileError* error = nullptr);
// Writes `bytes` to `path` whole or not at all (WriteFileAtomically).
bool WriteTextFile(const QString& path, const QByteArray& bytes, FileError* error = nullptr);
// The line of a file failure: "`what`: `path`", with the reason in brackets
// when the file itself failed (not its contents).
QString FileFailure(const QString& what, const QString& path, const FileError& error);
// The line breaks of a message as blanks.
QString JoinLines(QString text);

// Rows of a help text: `left` from column 2, its description from `column`,
// wrapped at 79 columns; a `left` too wide for the column gets a line of its own.
QString HelpRows(const std::vector<std::pair<QString, QString>>& rows, int column);

// For a command with sub-commands: -1 when `sub` is one of `subs`; otherwise
// the command's usage lines (for --help or -h) or the message, and the exit code.
int CheckSubcommand(const CliEnv& env, const QString& command, const QString& sub,
                    const QStringList& subs);

// The options of the commands that talk to the meter.
const QCommandLineOption& PortOption();
const QCommandLineOption& DemoOption();
const QCommandLineOption& TimeoutOption();

// The arguments of one command: its options and positional arguments, the help
// text built from them, and the parse with the positional count checked.
class CommandArgs {
public:
    CommandArgs(QString command, QString description);

    void Add(const QCommandLineOption& option);
    void AddMeterOptions();  // --port, --demo, --timeout
    // `syntax` is how the argument shows in the usage line ("[X]"); the name when empty.
    void AddPositional(const QString& name, const QString& description,
                       const QString& syntax = QString());

    // Returns -1 to go on, or the exit code when the help was shown or the
    // arguments are wrong (message shown).
    int Parse(const CliEnv& env, const QStringList& args, int minPositional, int maxPositional);

    bool IsSet(const QCommandLineOption& option) const { return m_parser.isSet(option); }
    QString Value(const QCommandLineOption& option) const { return m_parser.value(option); }
    QStringList Positional() const { return m_parser.positionalArguments(); }

    QString HelpText() const;

private:
    struct PositionalArg {
        QString name;
        QString description;
        QString syntax;
    };
    QString ParseErrorText() const;

    QString m_command;
    QString m_description;
    QList<QCommandLineOption> m_options;
    std::vector<PositionalArg> m_positional;
    QCommandLineParser m_parser;
};

// --service: the window's service mode. Without it the service commands and
// the content of password-protected records are refused, as in the window.
const QCommandLineOption& ServiceOption();
// "Polecenia serwisowe ...": what a service command says without --service.
QString ServiceModeRequiredText();
// The window's access rule for a record read from the meter or a file: -1 when
// it may be shown or sent, otherwise exit 2 with the window's message ("Brak
// dostępu do charakterystyki - ochrona hasłem", after "Charakterystyka nr N: "
// when `number` > 0).
int RefuseProtected(const CliEnv& env, bool serviceMode, const CharRecData& rec, int number = 0);

// The journal of meter changes (cli_journal.cpp): --journal FILE on every
// command that writes to a meter or reads the journal, --no-journal on the
// writes.
const QCommandLineOption& JournalOption();
const QCommandLineOption& NoJournalOption();
// The journal of this command: --journal or the user's data folder; an empty
// path (journal off) with --no-journal, which is then said on stderr.
// `noJournalOffered`: the command has the --no-journal option.
JournalSettings JournalSettingsFor(const CliEnv& env, const CommandArgs& args,
                                   bool noJournalOffered = true);

// --count N of watch and log.
const QCommandLineOption& CountOption();
// N; 0 (no limit) when --count is not given; -1 with the message shown when wrong.
int ReadCount(const CliEnv& env, const CommandArgs& args);

}  // namespace cli
