// The journal of meter changes: journal list/show/restore, and the journal
// options the writing commands share.

#include <QDateTime>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "cli/record_text.h"
#include "journal/journal_db.h"
#include "journal/journal_fields.h"
#include "journal/journal_location.h"
#include "meter/char_image.h"
#include "session/restore.h"

namespace cli {

const QCommandLineOption& JournalOption() {
    static const QCommandLineOption option(
        QStringLiteral("journal"),
        QStringLiteral("Plik dziennika zmian (domyślnie ~/.local/share/kv60x/journal.sqlite)."),
        QStringLiteral("PLIK"));
    return option;
}

const QCommandLineOption& NoJournalOption() {
    static const QCommandLineOption option(
        QStringLiteral("no-journal"),
        QStringLiteral("Bez dziennika zmian: bez odczytu zastępowanych wartości i bez wpisu."));
    return option;
}

JournalSettings JournalSettingsFor(const CliEnv& env, const CommandArgs& args,
                                   bool noJournalOffered) {
    JournalSettings s;
    s.program = QStringLiteral("kv60x-cli");
    s.user = JournalUserName();
    s.busyTimeoutMs = env.journalBusyTimeoutMs;
    if (noJournalOffered && args.IsSet(NoJournalOption())) {
        env.Err(
            QStringLiteral("Dziennik zmian wyłączony (--no-journal): zapis bez odczytu "
                           "zastępowanych wartości i bez wpisu do dziennika.\n"));
        return s;
    }
    s.path = ResolveJournalPath(args.Value(JournalOption()), QString());
    return s;
}

namespace {

QByteArray IntOrNull(int64_t v, bool present) {
    return present ? QByteArray::number(static_cast<qlonglong>(v)) : QByteArrayLiteral("null");
}

QString IsoTime(int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

// The fields every JSON form of an entry has (no braces, no trailing comma).
QByteArray EntryJsonFields(const JournalEntry& e, const QByteArray& indent) {
    QList<QByteArray> f;
    f << "\"id\": " + QByteArray::number(static_cast<qlonglong>(e.id));
    f << "\"time\": " + JsonQuoted(IsoTime(e.timeMs));
    f << "\"program\": " + JsonQuoted(e.program);
    f << "\"user\": " + JsonQuoted(e.user);
    f << "\"meter_model\": " + JsonQuoted(e.meter.model);
    f << "\"meter_letter\": " + JsonQuoted(e.meter.letter);
    f << "\"meter_serial\": " + IntOrNull(e.meter.serial.value_or(0), e.meter.serial.has_value());
    f << "\"meter_version\": " + JsonQuoted(e.meter.version);
    f << "\"target\": " + JsonQuoted(TargetKey(e));
    f << "\"slot\": " + IntOrNull(e.slot + 1, e.slot >= 0);
    f << "\"outcome\": " + JsonQuoted(OutcomeKey(e));
    f << "\"completed\": " + (e.completedMs ? JsonQuoted(IsoTime(e.completedMs)) : "null");
    f << "\"message\": " + JsonQuoted(e.message);
    f << "\"restored_from\": " + IntOrNull(e.restoredFrom, e.restoredFrom > 0);
    QByteArray out;
    for (int i = 0; i < f.size(); ++i) out += indent + f[i] + (i + 1 < f.size() ? ",\n" : "");
    return out;
}

// The part of a command common to list and show: the journal opened to read.
std::unique_ptr<JournalDb> OpenToRead(const CliEnv& env, const CommandArgs& a, int* rc) {
    const QString path = ResolveJournalPath(a.Value(JournalOption()), QString());
    QString error;
    auto db = JournalDb::Open(path, JournalDb::Mode::Read, &error, env.journalBusyTimeoutMs);
    *rc = db ? -1 : Fail(env, kExitUsage, error);
    return db;
}

int JournalList(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("journal list"),
                  QStringLiteral("Wpisy dziennika zmian mierników, od najnowszych."));
    const QCommandLineOption meter(QStringLiteral("meter"),
                                   QStringLiteral("Tylko miernik o tym numerze seryjnym."),
                                   QStringLiteral("NR"));
    const QCommandLineOption limit(QStringLiteral("limit"),
                                   QStringLiteral("Najwyżej N najnowszych wpisów."),
                                   QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Tablica JSON zamiast tabeli."));
    a.Add(meter);
    a.Add(limit);
    a.Add(json);
    a.Add(JournalOption());
    if (int rc = a.Parse(env, args, 0, 0); rc >= 0) return rc;
    JournalQuery q;
    if (a.IsSet(meter)) {
        int serial = 0;
        if (!ParseStrictInt(a.Value(meter), &serial)) {
            return Fail(env, kExitUsage,
                        QStringLiteral("Nieprawidłowy numer seryjny: %1").arg(a.Value(meter)));
        }
        q.serial = serial;
    }
    int most = 0;
    if (a.IsSet(limit) && (!ParseStrictInt(a.Value(limit), &most) || most < 1)) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowa wartość --limit: %1").arg(a.Value(limit)));
    }
    int rc = -1;
    auto db = OpenToRead(env, a, &rc);
    if (!db) return rc;
    const bool asJson = a.IsSet(json);
    if (asJson) env.out("[");
    if (!asJson)
        env.Out(QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                    .arg(QStringLiteral("Nr"), 6)
                    .arg(QStringLiteral("Data"), -19)
                    .arg(QStringLiteral("Program"), -9)
                    .arg(QStringLiteral("Miernik"), -18)
                    .arg(QStringLiteral("Zmiana"), -30)
                    .arg(QStringLiteral("Wynik")));
    // Page by page, so that a long journal starts printing at once.
    int shown = 0;
    QString error;
    for (;;) {
        q.limit = most ? std::min(1000, most - shown) : 1000;
        if (q.limit <= 0) break;
        const auto page = db->List(q, &error);
        if (!error.isEmpty()) {
            if (asJson) env.out("]\n");
            return Fail(env, kExitUsage, error);
        }
        QByteArray chunk;
        for (const JournalEntry& e : page) {
            if (asJson) {
                chunk += (shown ? ",\n  {\n" : "\n  {\n") + EntryJsonFields(e, "    ") + "\n  }";
            } else {
                chunk += QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                             .arg(e.id, 6)
                             .arg(JournalTimeText(e.timeMs), -19)
                             .arg(e.program, -9)
                             .arg(MeterText(e.meter), -18)
                             .arg(TargetText(e), -30)
                             .arg(OutcomeText(e))
                             .toUtf8();
            }
            ++shown;
        }
        if (!chunk.isEmpty()) env.out(chunk);
        if (static_cast<int>(page.size()) < q.limit) break;
        q.beforeId = page.back().id;
    }
    if (asJson) env.out(shown ? "\n]\n" : "]\n");
    return kExitOk;
}

// A value of a show in JSON: the image with its decoded record, or the text.
QByteArray ValueJson(JournalTarget target, int slot, const std::optional<QByteArray>& value) {
    if (!value) return "null";
    if (target != JournalTarget::Characteristic) {
        return "{\"value\": " + JsonQuoted(JournalValueText(target, value)) + "}";
    }
    QByteArray out = "{\"image\": " + JsonQuoted(QString::fromLatin1(value->toHex().toUpper()));
    if (const auto rec = CharacteristicFromValue(*value, slot)) {
        out += ", \"record\": " + RecordToJson(*rec).trimmed();
    }
    return out + "}";
}

int JournalShow(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("journal show"),
                  QStringLiteral("Jeden wpis dziennika zmian: wartość przed zmianą i po niej "
                                 "(obrazy charakterystyk szesnastkowo i pole po polu)."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Obiekt JSON zamiast tekstu."));
    a.Add(json);
    a.Add(JournalOption());
    a.Add(ServiceOption());
    a.AddPositional(QStringLiteral("ID"), QStringLiteral("Numer wpisu (z journal list)."));
    if (int rc = a.Parse(env, args, 1, 1); rc >= 0) return rc;
    int id = 0;
    if (!ParseStrictInt(a.Positional().at(0), &id) || id < 1) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowy numer wpisu: %1").arg(a.Positional().at(0)));
    }
    int rc = -1;
    auto db = OpenToRead(env, a, &rc);
    if (!db) return rc;
    QString error;
    const auto entry = db->Get(id, &error);
    if (!entry) {
        return Fail(
            env, kExitUsage,
            error.isEmpty()
                ? QStringLiteral("Nie ma wpisu nr %1 w dzienniku zmian %2").arg(id).arg(db->Path())
                : error);
    }
    const JournalEntry& e = *entry;
    // As in the window: the curve of a protected record only in service mode.
    const bool serviceMode = a.IsSet(ServiceOption());
    const bool hide = !serviceMode && JournalEntryProtected(e);
    if (a.IsSet(json)) {
        QByteArray out = "{\n" + EntryJsonFields(e, "  ");
        if (hide) {
            out += ",\n  \"protected\": true";
        } else if (e.unknown) {
            // A kind this program does not know: the stored bytes as they are.
            auto hex = [](const std::optional<QByteArray>& v) -> QByteArray {
                return v ? "{\"hex\": " + JsonQuoted(QString::fromLatin1(v->toHex().toUpper())) +
                               "}"
                         : QByteArray("null");
            };
            out += ",\n  \"before\": " + hex(e.unknown->before);
            out += ",\n  \"after\": " + hex(e.unknown->after);
        } else {
            out += ",\n  \"before\": " + ValueJson(e.target, e.slot, e.before);
            out += ",\n  \"after\": " + ValueJson(e.target, e.slot, e.after);
        }
        env.out(out + "\n}\n");
        return kExitOk;
    }
    QString t;
    t += QStringLiteral("Wpis nr %1\n").arg(e.id);
    t += QStringLiteral("Data: %1\n").arg(JournalTimeText(e.timeMs));
    t += QStringLiteral("Program: %1 (użytkownik %2)\n").arg(e.program, e.user);
    t += QStringLiteral("Miernik: %1%2\n")
             .arg(MeterText(e.meter))
             .arg(e.meter.version.isEmpty() ? QString()
                                            : QStringLiteral(", wersja ") + e.meter.version);
    t += QStringLiteral("Zmiana: %1\n").arg(TargetText(e));
    t += QStringLiteral("Wynik: %1\n").arg(OutcomeText(e));
    if (e.restoredFrom > 0) t += QStringLiteral("Przywraca wpis nr %1\n").arg(e.restoredFrom);
    if (!e.message.isEmpty()) t += QStringLiteral("Komunikat: %1\n").arg(e.message);
    t += QStringLiteral("\n  %1  %2  %3\n")
             .arg(QStringLiteral("Pole"), -32)
             .arg(QStringLiteral("Przed"), -24)
             .arg(QStringLiteral("Po"));
    for (const JournalFieldRow& row : JournalFieldRows(e, serviceMode)) {
        t += QStringLiteral("%1 %2  %3  %4\n")
                 .arg(row.changed ? QChar('*') : QChar(' '))
                 .arg(row.name, -32)
                 .arg(row.before, -24)
                 .arg(row.after);
    }
    if (e.target == JournalTarget::Characteristic && !hide && !e.unknown) {
        t += QStringLiteral("\nObraz przed: %1\n")
                 .arg(e.before ? QString::fromLatin1(e.before->toHex().toUpper())
                               : QStringLiteral("(nieodczytany)"));
        t +=
            QStringLiteral("Obraz po:    %1\n").arg(QString::fromLatin1(e.after.toHex().toUpper()));
    }
    env.Out(t);
    return kExitOk;
}

int JournalRestore(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("journal restore"),
                  QStringLiteral("Zapisuje w mierniku wartość sprzed zmiany zapisanej we wpisie; "
                                 "tylko w tym samym mierniku (numer seryjny). Przywrócenie "
                                 "trafia do dziennika jako nowy wpis."));
    a.AddMeterOptions();
    a.Add(JournalOption());
    a.Add(ServiceOption());
    a.AddPositional(QStringLiteral("ID"), QStringLiteral("Numer wpisu (z journal list)."));
    if (int rc = a.Parse(env, args, 1, 1); rc >= 0) return rc;
    int id = 0;
    if (!ParseStrictInt(a.Positional().at(0), &id) || id < 1) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowy numer wpisu: %1").arg(a.Positional().at(0)));
    }
    // Service values and protected records need --service, as in the window.
    const bool serviceMode = a.IsSet(ServiceOption());
    const JournalSettings settings = JournalSettingsFor(env, a, false);
    std::optional<JournalEntry> entry;
    {
        QString error;
        auto db =
            JournalDb::Open(settings.path, JournalDb::Mode::Read, &error, env.journalBusyTimeoutMs);
        if (!db) return Fail(env, kExitUsage, error);
        entry = db->Get(id, &error);
        if (!entry) {
            return Fail(env, kExitUsage,
                        error.isEmpty() ? QStringLiteral("Nie ma wpisu nr %1 w dzienniku zmian %2")
                                              .arg(id)
                                              .arg(settings.path)
                                        : error);
        }
    }
    // The journal before the meter: when it cannot be written, nothing is.
    MeterSession s;
    s.SetJournal(settings);
    s.SetServiceMode(serviceMode);
    WriteBatch batch(s);
    if (int rc = OpenJournal(env, batch); rc >= 0) return rc;
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    QString why;
    switch (CheckRestore(*entry, s, &why)) {
        case RestoreRefusal::None:
            break;
        case RestoreRefusal::NoMeter:
            return Fail(env, kExitMeter, why);
        default:
            return Fail(env, kExitUsage, why);
    }
    const RestoreResult r = RestoreEntry(batch, s, *entry);
    switch (r.outcome.status) {
        case WriteStatus::Unchanged:
            env.Out(r.message + QChar('\n'));
            return kExitOk;
        case WriteStatus::Confirmed:
            break;
        case WriteStatus::MeterFailed:
        case WriteStatus::Unconfirmed:
            return Fail(env, kExitMeter, r.message);
        case WriteStatus::Refused:
        case WriteStatus::JournalBlocked:
            return Fail(env, kExitUsage, r.message);
    }
    QString done = QStringLiteral("Przywrócono wartość sprzed zmiany nr %1 (%2)")
                       .arg(entry->id)
                       .arg(TargetText(*entry));
    if (r.outcome.entryId > 0) done += QStringLiteral("; nowy wpis nr %1").arg(r.outcome.entryId);
    env.Out(done + QChar('\n'));
    // The write reached the meter; the journal could not say so.
    if (!r.outcome.message.isEmpty()) env.Err(JoinLines(r.outcome.message) + "\n");
    return kExitOk;
}

}  // namespace

int CmdJournal(const CliEnv& env, const QStringList& args) {
    const QString sub = args.value(0);
    if (int rc = CheckSubcommand(env, QStringLiteral("journal"), sub, {"list", "show", "restore"});
        rc >= 0)
        return rc;
    if (sub == QLatin1String("list")) return JournalList(env, args.mid(1));
    if (sub == QLatin1String("show")) return JournalShow(env, args.mid(1));
    return JournalRestore(env, args.mid(1));
}

}  // namespace cli
