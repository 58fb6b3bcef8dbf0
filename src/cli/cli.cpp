#include "cli/cli.h"

#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_commands.h"
#include "kv60x_version.h"

namespace cli {

namespace {

// One line of the overview: how the command is written, what it does.
struct HelpLine {
    const char* synopsis;
    const char* summary;
};

// The command table: what RunCli runs and what the help shows, in the order shown.
struct Command {
    const char* name;
    int (*run)(const CliEnv&, const QStringList&);
    std::vector<HelpLine> help;
};

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"ports", CmdPorts, {{"ports", "porty szeregowe z numerami COM"}}},
        {"info",
         CmdInfo,
         {{"info --port P [--json]",
           "identyfikacja, numer seryjny, data uruchamiania, stan, temperatura, liczba "
           "charakterystyk"}}},
        {"watch",
         CmdWatch,
         {{"watch --port P [--count N]", "jeden wiersz na cykl odpytywania, aż do Ctrl+C"}}},
        {"log",
         CmdLog,
         {{"log --port P --interval S --out PLIK",
           "rejestracja do pliku tekstowego/CSV, aż do Ctrl+C"}}},
        {"table",
         CmdTable,
         {{"table read --port P --out PLIK.kvz", "wszystkie charakterystyki do pliku zbioru"},
          {"table write --port P PLIK.kvz [--slots 1,3-5]",
           "charakterystyki z pliku zbioru do miernika"},
          {"table diff --port P PLIK.kvz [--slots 1,3-5] [--json]",
           "porównanie charakterystyk miernika z plikiem zbioru (kod 3: różnice)"}}},
        {"record",
         CmdRecord,
         {{"record read --port P --slot N PLIK.kvr", "jedna charakterystyka do pliku"},
          {"record write --port P --slot N PLIK.kvr", "plik charakterystyki do miernika"}}},
        {"show",
         CmdShow,
         {{"show PLIK [--json|--csv]", "plik .kvr/.kvz/.json w czytelnej postaci"}}},
        {"convert",
         CmdConvert,
         {{"convert ŹRÓDŁO CEL", "między .kvr/.kvz/.json a .json/.csv/.txt/.kvr/.kvz"}}},
        {"service",
         CmdService,
         {{"service date RRRR-MM --port P", "data uruchamiania"},
          {"service serial N --port P", "numer seryjny"},
          {"service letter ZNAK --port P", "litera wersji (typ panelu)"},
          {"service coefficient [X] --port P", "współczynnik kształtu elektrod"}}},
        {"commission",
         CmdCommission,
         {{"commission --port P --service [--table PLIK.kvz] [--dry-run]",
           "uruchomienie miernika (też --serial, --letter, --date, --coefficient): zapis "
           "tego, co różni się od zadania, i sprawdzenie"}}},
        {"journal",
         CmdJournal,
         {{"journal list [--meter NR] [--json]", "dziennik zmian mierników, od najnowszych"},
          {"journal show ID [--json]", "jeden wpis: wartość przed zmianą i po niej"},
          {"journal restore ID --port P", "przywraca w mierniku wartość sprzed zmiany"}}},
        {"report",
         CmdReport,
         {{"report --port P --out PLIK.pdf [--reference PLIK.kvz]",
           "raport miernika w PDF (charakterystyki, wykresy, dziennik zmian)"},
          {"report PLIK.kvz --out PLIK.pdf", "raport pliku zbioru charakterystyk w PDF"}}},
    };
    return commands;
}

const Command* FindCommand(const QString& name) {
    for (const Command& c : Commands()) {
        if (name == QLatin1String(c.name)) return &c;
    }
    return nullptr;
}

QString Usage() {
    std::vector<std::pair<QString, QString>> rows;
    for (const Command& c : Commands()) {
        for (const HelpLine& line : c.help)
            rows.emplace_back(QString::fromUtf8(line.synopsis), QString::fromUtf8(line.summary));
    }
    return QStringLiteral(
               "Użycie: kv60x-cli POLECENIE [opcje]   (kv60x-cli POLECENIE --help: opis "
               "polecenia)\n"
               "\n"
               "Mierniki wilgotności KV-60x z wiersza poleceń.\n"
               "\n"
               "Polecenia:\n") +
           HelpRows(rows, 42) +
           QStringLiteral(
               "\n"
               "P to numer COM, COMn albo ścieżka urządzenia; --demo zamiast --port używa\n"
               "wbudowanego symulowanego miernika. Opcje --port, --demo, --timeout, --journal,\n"
               "--no-journal i --service można podać także przed poleceniem.\n"
               "Kody wyjścia: 0 powodzenie, 1 nieudana operacja miernika, 2 błędne argumenty,\n"
               "błędny plik wejściowy albo nieudany zapis pliku lub standardowego wyjścia,\n"
               "3 porównanie wykazało różnice.\n");
}

// The options several commands share may stand before the command's name
// too: "kv60x-cli --demo info" is "kv60x-cli info --demo".
struct CommonOption {
    const char* name;
    bool takesValue;
};

const CommonOption kCommonOptions[] = {
    {"port", true},    {"demo", false},       {"timeout", true},
    {"journal", true}, {"no-journal", false}, {"service", false},
};

// The name of an option word ("--port", "-port", "--port=COM1": "port"); empty
// for a word that is not an option.
QString OptionName(const QString& word) {
    if (word.size() < 2 || !word.startsWith(QChar('-')) || word == QLatin1String("--"))
        return QString();
    const QString name = word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1);
    return name.left(name.indexOf(QChar('=')));
}

const CommonOption* FindCommonOption(const QString& name) {
    for (const CommonOption& o : kCommonOptions) {
        if (name == QLatin1String(o.name)) return &o;
    }
    return nullptr;
}

// The common options before the command go behind its words (before a "--"
// that ends its options), where its own parser reads them: an option the
// command does not know stays that command's error. An option that takes a
// value takes the next word, as after the command. Returns the exit code
// when the words are wrong (message shown), otherwise -1 with `args` moved.
int MoveLeadingOptions(const CliEnv& env, QStringList* args) {
    QStringList leading;
    int i = 0;
    for (; i < args->size(); ++i) {
        const QString& word = args->at(i);
        const CommonOption* o = FindCommonOption(OptionName(word));
        if (!o) break;
        leading << word;
        if (o->takesValue && !word.contains(QChar('='))) {
            if (i + 1 >= args->size()) {
                return Fail(env, kExitUsage,
                            QStringLiteral("%1: brak wartości opcji --%2 (zob. --help)")
                                .arg(QLatin1String(kProgram), QLatin1String(o->name)));
            }
            leading << args->at(++i);
        }
    }
    if (leading.isEmpty()) return -1;
    QStringList rest = args->mid(i);
    if (rest.isEmpty()) {
        *args = rest;
        return -1;
    }
    const qsizetype end = rest.indexOf(QStringLiteral("--"));
    const qsizetype at = end < 0 ? rest.size() : end;
    // The same option with a value before and after the command: which one
    // was meant cannot be told.
    for (qsizetype k = 1; k < at; ++k) {
        const CommonOption* o = FindCommonOption(OptionName(rest.at(k)));
        if (!o || !o->takesValue) continue;
        for (const QString& word : leading) {
            if (OptionName(word) == QLatin1String(o->name)) {
                return Fail(env, kExitUsage,
                            QStringLiteral("%1: opcja --%2 podana przed poleceniem i po nim")
                                .arg(QLatin1String(kProgram), QLatin1String(o->name)));
            }
        }
    }
    *args = rest.mid(0, at) + leading + rest.mid(at);
    return -1;
}

}  // namespace

QString CommandUsage(const QString& command) {
    const Command* c = FindCommand(command);
    if (!c) return QString();
    const QString first = QStringLiteral("Użycie: ");
    QString text;
    for (const HelpLine& line : c->help) {
        text += (text.isEmpty() ? first : QString(first.size(), QChar(' '))) +
                QString::fromLatin1(kProgram) + QChar(' ') + QString::fromUtf8(line.synopsis) +
                QChar('\n');
    }
    return text;
}

}  // namespace cli

int RunCli(const QStringList& givenArgs, const CliEnv& env) {
    using namespace cli;
    QStringList args = givenArgs;
    if (int rc = MoveLeadingOptions(env, &args); rc >= 0) return rc;
    if (args.isEmpty()) {
        return Fail(env, kExitUsage, QStringLiteral("Podaj polecenie (zob. kv60x-cli --help)"));
    }
    const QString command = args.at(0);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        env.Out(Usage());
        return kExitOk;
    }
    if (command == QLatin1String("--version")) {
        env.Out(QStringLiteral("kv60x-cli %1\n").arg(QStringLiteral(KV60X_VERSION)));
        return kExitOk;
    }
    if (const Command* c = FindCommand(command)) return c->run(env, args.mid(1));
    return Fail(env, kExitUsage,
                QStringLiteral("Nieznane polecenie: %1 (zob. kv60x-cli --help)").arg(command));
}
