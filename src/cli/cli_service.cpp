// The meter's commissioning data: service date, serial, letter and coefficient.
// The values are refused by the same limits, with the same messages, as in the
// service dialogs, and before the port is opened.

#include <QRegularExpression>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "session/service_limits.h"

namespace cli {

namespace {

// The checked value of a service command.
struct ServiceValue {
    QString text;  // as given; empty when left out (coefficient only)
    int year = 0;
    int month = 0;
    int serial = 0;
    char letter = 0;
    double coefficient = 0;
};

// Each check returns -1 when the value may go to the meter, otherwise the exit
// code (message shown).

int CheckDate(const CliEnv& env, ServiceValue* v) {
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,6})-(\\d{1,3})\\s*$"));
    const auto m = re.match(v->text);
    if (!m.hasMatch()) return Fail(env, kExitUsage, QStringLiteral("Podaj datę w postaci RRRR-MM"));
    v->year = m.captured(1).toInt();
    v->month = m.captured(2).toInt();
    const QString message = CheckStartupDate(v->year, v->month);
    return message.isEmpty() ? -1 : Fail(env, kExitUsage, message);
}

int CheckSerial(const CliEnv& env, ServiceValue* v) {
    // On the command line the whole argument must be a number; anything else is
    // refused like a number below the limit.
    if (!ParseStrictInt(v->text, &v->serial)) v->serial = kMinSerialNumber - 1;
    const QString message = CheckSerialNumber(v->serial);
    return message.isEmpty() ? -1 : Fail(env, kExitUsage, message);
}

int CheckLetter(const CliEnv& env, ServiceValue* v) {
    // One visible ASCII character, so that what is typed is what the meter shows.
    const QString& t = v->text;
    if (t.size() != 1 || t.at(0).unicode() < 0x21 || t.at(0).unicode() > 0x7E) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj jeden znak typu panelu (litera lub cyfra ASCII)"));
    }
    v->letter = VersionLetterFor(t);
    return -1;
}

int CheckCoefficient(const CliEnv& env, ServiceValue* v) {
    if (v->text.isEmpty() || ParseStrictNumber(v->text, &v->coefficient)) return -1;
    return Fail(env, kExitUsage,
                QStringLiteral("Podaj prawidłową wartość współczynnika: %1").arg(v->text));
}

// Each write goes through the command's batch and returns the exit code; on
// success it prints what the meter reports now.

int WriteDate(const CliEnv& env, MeterSession& s, WriteBatch& batch, const ServiceValue& v) {
    const WriteOutcome r = batch.Write(MeterWrite::StartupDate(v.year, v.month));
    if (int rc = WriteOutcomeCode(env, r, WriteFailureText(JournalTarget::StartupDate, -1));
        rc >= 0)
        return rc;
    const StartupDate date = s.Snapshot().startupDate;
    env.Out(QString::asprintf("Data uruchamiania: %04d-%02d\n", date.year, date.month));
    return kExitOk;
}

int WriteSerial(const CliEnv& env, MeterSession& s, WriteBatch& batch, const ServiceValue& v) {
    const WriteOutcome r = batch.Write(MeterWrite::SerialNumber(v.serial));
    if (int rc = WriteOutcomeCode(env, r, WriteFailureText(JournalTarget::SerialNumber, -1));
        rc >= 0)
        return rc;
    env.Out(QStringLiteral("Numer seryjny: %1\n").arg(s.Snapshot().serialNumber.serialNumber));
    return kExitOk;
}

int WriteLetter(const CliEnv& env, MeterSession& s, WriteBatch& batch, const ServiceValue& v) {
    const WriteOutcome r = batch.Write(MeterWrite::VersionLetter(v.letter));
    if (int rc = WriteOutcomeCode(env, r, WriteFailureText(JournalTarget::VersionLetter, -1));
        rc >= 0)
        return rc;
    const MeterIdentity id = s.Snapshot().identity;
    env.Out(QStringLiteral("Urządzenie: %1%2\n")
                .arg(QString::fromLatin1(id.model))
                .arg(QChar::fromLatin1(id.versionLetter)));
    return kExitOk;
}

// Writes the coefficient when one was given (the batch reads the value before
// from the meter), then reads it back.
int Coefficient(const CliEnv& env, MeterSession& s, WriteBatch& batch, const ServiceValue& v) {
    if (!v.text.isEmpty()) {
        const WriteOutcome r = batch.Write(MeterWrite::ElectrodeCoefficient(v.coefficient));
        if (int rc =
                WriteOutcomeCode(env, r, WriteFailureText(JournalTarget::ElectrodeCoefficient, -1));
            rc >= 0)
            return rc;
    }
    ElectrodeCoefficient k;
    if (!s.ReadElectrodeCoefficient(&k)) {
        return Fail(env, kExitMeter, QStringLiteral("Nie można odczytać ustawień"));
    }
    env.Out(QString::asprintf("Współczynnik kształtu elektrod: %0.8f\n", k.coefficient));
    return kExitOk;
}

struct ServiceCommand {
    const char* name;
    const char* description;
    const char* argument;
    const char* argumentDescription;
    const char* syntax;  // in the usage line; the argument's name when empty
    bool valueRequired;
    int (*check)(const CliEnv&, ServiceValue*);
    int (*run)(const CliEnv&, MeterSession&, WriteBatch&, const ServiceValue&);
};

const ServiceCommand kServiceCommands[] = {
    {"date", "Zapisuje datę uruchamiania miernika (rok 2000..2099, miesiąc 1..12).", "RRRR-MM",
     "Rok i miesiąc uruchamiania.", "", true, CheckDate, WriteDate},
    {"serial", "Zapisuje numer seryjny miernika (1 lub więcej).", "N", "Numer seryjny.", "", true,
     CheckSerial, WriteSerial},
    {"letter", "Zapisuje literę wersji miernika (typ panelu).", "ZNAK", "Jeden znak.", "", true,
     CheckLetter, WriteLetter},
    {"coefficient",
     "Zapisuje współczynnik kształtu elektrod i odczytuje go z powrotem; bez X tylko go "
     "odczytuje.",
     "X", "Współczynnik; przecinek jest przyjmowany jako znak dziesiętny.", "[X]", false,
     CheckCoefficient, Coefficient},
};

}  // namespace

int CmdService(const CliEnv& env, const QStringList& args) {
    const QString sub = args.value(0);
    QStringList names;
    for (const ServiceCommand& c : kServiceCommands) names << QString::fromLatin1(c.name);
    if (int rc = CheckSubcommand(env, QStringLiteral("service"), sub, names); rc >= 0) return rc;
    const ServiceCommand& c = kServiceCommands[names.indexOf(sub)];

    CommandArgs a(QStringLiteral("service ") + sub, QString::fromUtf8(c.description));
    a.AddMeterOptions();
    a.Add(ServiceOption());
    a.Add(JournalOption());
    a.Add(NoJournalOption());
    a.AddPositional(QString::fromUtf8(c.argument), QString::fromUtf8(c.argumentDescription),
                    QString::fromUtf8(c.syntax));
    if (int rc = a.Parse(env, args.mid(1), c.valueRequired ? 1 : 0, 1); rc >= 0) return rc;
    // The window offers these only in service mode.
    if (!a.IsSet(ServiceOption())) return Fail(env, kExitUsage, ServiceModeRequiredText());
    ServiceValue value;
    value.text = a.Positional().value(0);
    if (int rc = c.check(env, &value); rc >= 0) return rc;

    // The journal before the meter: when it cannot be written, nothing is. A
    // coefficient only read goes without one.
    MeterSession s;
    s.SetServiceMode(true);
    if (!value.text.isEmpty()) s.SetJournal(JournalSettingsFor(env, a));
    WriteBatch batch(s);
    if (int rc = OpenJournal(env, batch); rc >= 0) return rc;
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    return c.run(env, s, batch, value);
}

}  // namespace cli
