// What the commands share in reading their arguments and reporting failures.

#include "cli/cli_args.h"

#include <QRegularExpression>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "cli/cli_commands.h"
#include "records/char_rec_validation.h"

namespace cli {

namespace {

constexpr int kHelpWidth = 79;

// `text` in lines of at most kHelpWidth columns, every line after the first
// starting at `indent`.
QString Wrapped(const QString& text, int indent) {
    const QStringList words = text.split(QChar(' '), Qt::SkipEmptyParts);
    QString out;
    qsizetype lineLength = indent;
    for (const QString& word : words) {
        const bool first = lineLength == indent;
        if (!first && lineLength + 1 + word.size() > kHelpWidth) {
            out += QChar('\n') + QString(indent, QChar(' '));
            lineLength = indent;
        } else if (!first) {
            out += QChar(' ');
            ++lineLength;
        }
        out += word;
        lineLength += word.size();
    }
    return out;
}

// "-P, --port <P>".
QString OptionSyntax(const QCommandLineOption& option) {
    QStringList names;
    for (const QString& name : option.names()) {
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    }
    QString syntax = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty()) syntax += QStringLiteral(" <%1>").arg(option.valueName());
    return syntax;
}

const QCommandLineOption& HelpOption() {
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                           QStringLiteral("Wyświetla tę pomoc."));
    return option;
}

}  // namespace

int Fail(const CliEnv& env, int code, QString line) {
    env.Err(JoinLines(line.replace(QStringLiteral("\r\n"), QStringLiteral(" "))) + QChar('\n'));
    return code;
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool ParseStrictInt(const QString& text, int* out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok) *out = v;
    return ok;
}

bool ParseStrictNumber(QString text, double* out) {
    text = text.trimmed();
    text.replace(QChar(','), QChar('.'));
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool OutputPathUsable(const QString& path, FileError* error) {
    return CheckOutputTarget(path, error);
}

bool WriteTextFile(const QString& path, const QByteArray& bytes, FileError* error) {
    return WriteFileAtomically(path, bytes, error);
}

QString FileFailure(const QString& what, const QString& path, const FileError& error) {
    QString line = what + QStringLiteral(": ") + path;
    if (!error.ok()) line += QStringLiteral(" (%1)").arg(error.Reason());
    return line;
}

QString JoinLines(QString text) {
    text.replace(QChar('\n'), QChar(' '));
    return text;
}

QString HelpRows(const std::vector<std::pair<QString, QString>>& rows, int column) {
    QString out;
    for (const auto& [left, description] : rows) {
        QString line = QStringLiteral("  ") + left;
        if (line.size() + 2 > column) {
            out += line + QChar('\n');
            line.clear();
        }
        if (!description.isEmpty())
            line = line.leftJustified(column) + Wrapped(description, column);
        if (!line.isEmpty()) out += line + QChar('\n');
    }
    return out;
}

int CheckSubcommand(const CliEnv& env, const QString& command, const QString& sub,
                    const QStringList& subs) {
    if (subs.contains(sub)) return -1;
    if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
        env.Out(CommandUsage(command));
        return kExitOk;
    }
    const QString choices = subs.size() < 2
                                ? subs.join(QString())
                                : subs.mid(0, subs.size() - 1).join(QStringLiteral(", ")) +
                                      QStringLiteral(" albo ") + subs.last();
    return Fail(env, kExitUsage,
                QStringLiteral("%1 %2: podaj %3 (zob. --help)").arg(kProgram, command, choices));
}

const QCommandLineOption& PortOption() {
    static const QCommandLineOption option(
        QStringLiteral("port"),
        QStringLiteral("Port miernika: numer COM, COMn albo ścieżka urządzenia."),
        QStringLiteral("P"));
    return option;
}

const QCommandLineOption& DemoOption() {
    static const QCommandLineOption option(
        QStringLiteral("demo"),
        QStringLiteral("Wbudowany symulowany miernik (COM250) z przykładowymi charakterystykami."));
    return option;
}

const QCommandLineOption& TimeoutOption() {
    static const QCommandLineOption option(
        QStringLiteral("timeout"),
        QStringLiteral("Ile sekund czekać na pierwsze pełne odpowiedzi miernika (domyślnie 15)."),
        QStringLiteral("S"));
    return option;
}

// ---- arguments ----------------------------------------------------------------

CommandArgs::CommandArgs(QString command, QString description)
    : m_command(std::move(command)), m_description(std::move(description)) {
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    Add(HelpOption());
}

void CommandArgs::Add(const QCommandLineOption& option) {
    m_parser.addOption(option);
    m_options.append(option);
}

void CommandArgs::AddMeterOptions() {
    Add(PortOption());
    Add(DemoOption());
    Add(TimeoutOption());
}

void CommandArgs::AddPositional(const QString& name, const QString& description,
                                const QString& syntax) {
    m_parser.addPositionalArgument(name, description, syntax);
    m_positional.push_back({name, description, syntax.isEmpty() ? name : syntax});
}

int CommandArgs::Parse(const CliEnv& env, const QStringList& args, int minPositional,
                       int maxPositional) {
    if (!m_parser.parse(QStringList{QString::fromLatin1(kProgram)} + args)) {
        return Fail(
            env, kExitUsage,
            QStringLiteral("%1 %2: %3 (zob. --help)").arg(kProgram, m_command, ParseErrorText()));
    }
    if (m_parser.isSet(HelpOption())) {
        env.Out(HelpText());
        return kExitOk;
    }
    const qsizetype n = m_parser.positionalArguments().size();
    if (n < minPositional || n > maxPositional) {
        return Fail(env, kExitUsage,
                    QStringLiteral("%1 %2: nieprawidłowa liczba argumentów (zob. --help)")
                        .arg(kProgram, m_command));
    }
    return -1;
}

// The parser's own messages are English; the command line speaks Polish.
QString CommandArgs::ParseErrorText() const {
    const QStringList unknown = m_parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        QStringList names;
        for (const QString& name : unknown)
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        return QStringLiteral("nieznana opcja %1").arg(names.join(QStringLiteral(", ")));
    }
    const QString error = m_parser.errorText();
    static const QRegularExpression quoted(QStringLiteral("'([^']*)'"));
    const QString name = quoted.match(error).captured(1);
    if (error.startsWith(QLatin1String("Missing value")))
        return QStringLiteral("brak wartości opcji %1").arg(name);
    if (error.startsWith(QLatin1String("Unexpected value")))
        return QStringLiteral("opcja %1 nie przyjmuje wartości").arg(name);
    return error;
}

QString CommandArgs::HelpText() const {
    QString usage = QStringLiteral("Użycie: %1 %2 [opcje]").arg(kProgram, m_command);
    for (const PositionalArg& p : m_positional) usage += QChar(' ') + p.syntax;
    std::vector<std::pair<QString, QString>> options;
    int width = 0;
    for (const QCommandLineOption& o : m_options)
        width = std::max(width, int(OptionSyntax(o).size()));
    for (const PositionalArg& p : m_positional) width = std::max(width, int(p.name.size()));
    const int column = std::clamp(width + 4, 12, 30);
    for (const QCommandLineOption& o : m_options)
        options.emplace_back(OptionSyntax(o), o.description());
    QString text = usage + QChar('\n') + Wrapped(m_description, 0) +
                   QStringLiteral("\n\nOpcje:\n") + HelpRows(options, column);
    if (!m_positional.empty()) {
        std::vector<std::pair<QString, QString>> arguments;
        for (const PositionalArg& p : m_positional) arguments.emplace_back(p.name, p.description);
        text += QStringLiteral("\nArgumenty:\n") + HelpRows(arguments, column);
    }
    return text;
}

const QCommandLineOption& ServiceOption() {
    static const QCommandLineOption option(
        QStringLiteral("service"),
        QStringLiteral("Tryb serwisowy, jak w programie okienkowym: polecenia serwisowe i "
                       "charakterystyki chronione hasłem."));
    return option;
}

QString ServiceModeRequiredText() {
    return QStringLiteral("Polecenia serwisowe wymagają trybu serwisowego (--service)");
}

int RefuseProtected(const CliEnv& env, bool serviceMode, const CharRecData& rec, int number) {
    if (!rec.valid || CharRecAccessAllowed(rec, serviceMode)) return -1;
    const QString denied = charrecmsg::AccessDenied();
    return Fail(
        env, kExitUsage,
        number > 0 ? QStringLiteral("Charakterystyka nr %1: %2").arg(number).arg(denied) : denied);
}

const QCommandLineOption& CountOption() {
    static const QCommandLineOption option(
        QStringLiteral("count"), QStringLiteral("Zakończ po N wierszach."), QStringLiteral("N"));
    return option;
}

// --count N: 0 (no limit) when not given; -1 with the message shown when wrong.
int ReadCount(const CliEnv& env, const CommandArgs& a) {
    int n = 0;
    if (a.IsSet(CountOption()) && (!ParseStrictInt(a.Value(CountOption()), &n) || n < 1)) {
        Fail(env, kExitUsage,
             QStringLiteral("Nieprawidłowa wartość --count: %1").arg(a.Value(CountOption())));
        return -1;
    }
    return n;
}

}  // namespace cli
