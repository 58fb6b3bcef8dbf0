// The meter's commissioning data: service date, serial, letter and coefficient.
// The values are refused by the same limits, with the same messages, as in the
// service dialogs, and before the port is opened.

#include <QRegularExpression>
#include <optional>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "cli/cli_service.h"
#include "session/service_limits.h"

namespace cli {

int CheckDateValue(const CliEnv& env, ServiceValue* v) {
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,6})-(\\d{1,3})\\s*$"));
    const auto m = re.match(v->text);
    if (!m.hasMatch()) return Fail(env, kExitUsage, QStringLiteral("Podaj datę w postaci RRRR-MM"));
    const int year = m.captured(1).toInt();
    const int month = m.captured(2).toInt();
    const QString message = CheckStartupDate(year, month);
    if (!message.isEmpty()) return Fail(env, kExitUsage, message);
    v->write = MeterWrite::StartupDate(year, month);
    return -1;
}

int CheckSerialValue(const CliEnv& env, ServiceValue* v) {
    // On the command line the whole argument must be a number; anything else is
    // refused like a number below the limit.
    int serial = 0;
    if (!ParseStrictInt(v->text, &serial)) serial = kMinSerialNumber - 1;
    const QString message = CheckSerialNumber(serial);
    if (!message.isEmpty()) return Fail(env, kExitUsage, message);
    v->write = MeterWrite::SerialNumber(serial);
    return -1;
}

int CheckLetterValue(const CliEnv& env, ServiceValue* v) {
    // One visible ASCII character, so that what is typed is what the meter shows.
    const QString& t = v->text;
    if (t.size() != 1 || t.at(0).unicode() < 0x21 || t.at(0).unicode() > 0x7E) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj jeden znak typu panelu (litera lub cyfra ASCII)"));
    }
    v->write = MeterWrite::VersionLetter(VersionLetterFor(t));
    return -1;
}

int CheckCoefficientValue(const CliEnv& env, ServiceValue* v) {
    double coefficient = 0;
    if (v->text.isEmpty()) return -1;  // only read
    if (ParseStrictNumber(v->text, &coefficient)) {
        v->write = MeterWrite::ElectrodeCoefficient(coefficient);
        return -1;
    }
    return Fail(env, kExitUsage,
                QStringLiteral("Podaj prawidłową wartość współczynnika: %1").arg(v->text));
}

namespace {

// What the meter reports after a write (or, for the coefficient, when only
// asked); the exit code.

int ReportDate(const CliEnv& env, MeterSession& s) {
    const StartupDate date = s.Snapshot().startupDate;
    env.Out(QString::asprintf("Data uruchamiania: %04d-%02d\n", date.year, date.month));
    return kExitOk;
}

int ReportSerial(const CliEnv& env, MeterSession& s) {
    env.Out(QStringLiteral("Numer seryjny: %1\n").arg(s.Snapshot().serialNumber.serialNumber));
    return kExitOk;
}

int ReportLetter(const CliEnv& env, MeterSession& s) {
    const MeterIdentity id = s.Snapshot().identity;
    env.Out(QStringLiteral("Urządzenie: %1%2\n")
                .arg(QString::fromLatin1(id.model))
                .arg(QChar::fromLatin1(id.versionLetter)));
    return kExitOk;
}

// The coefficient is read from the meter itself, after a write as without one.
int ReportCoefficient(const CliEnv& env, MeterSession& s) {
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
    int (*report)(const CliEnv&, MeterSession&);
};

const ServiceCommand kServiceCommands[] = {
    {"date", "Zapisuje datę uruchamiania miernika (rok 2000..2099, miesiąc 1..12).", "RRRR-MM",
     "Rok i miesiąc uruchamiania.", "", true, CheckDateValue, ReportDate},
    {"serial", "Zapisuje numer seryjny miernika (1 lub więcej).", "N", "Numer seryjny.", "", true,
     CheckSerialValue, ReportSerial},
    {"letter", "Zapisuje literę wersji miernika (typ panelu).", "ZNAK", "Jeden znak.", "", true,
     CheckLetterValue, ReportLetter},
    {"coefficient",
     "Zapisuje współczynnik kształtu elektrod i odczytuje go z powrotem; bez X tylko go "
     "odczytuje.",
     "X", "Współczynnik; przecinek jest przyjmowany jako znak dziesiętny.", "[X]", false,
     CheckCoefficientValue, ReportCoefficient},
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
    if (value.write) s.SetJournal(JournalSettingsFor(env, a));
    WriteBatch batch(s);
    if (int rc = OpenJournal(env, batch); rc >= 0) return rc;
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    if (value.write) {
        const WriteOutcome r = batch.Write(*value.write);
        if (int rc = WriteOutcomeCode(env, r, WriteFailureText(value.write->target, -1)); rc >= 0)
            return rc;
    }
    return c.report(env, s);
}

}  // namespace cli
