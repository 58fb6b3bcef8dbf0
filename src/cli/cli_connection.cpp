// A command's connection to the meter (or to the demo meter), and how its
// writes end.

#include "cli/cli_connection.h"

#include <QFileInfo>

#include "serial/port_names.h"
#include "sim/demo_meter.h"

namespace cli {

namespace {

// --timeout: the bound on the wait for the first complete polling cycle.
int ReadTimeout(const CliEnv& env, const CommandArgs& args, int* firstCycleMs) {
    *firstCycleMs = env.firstCycleTimeoutMs;
    if (!args.IsSet(TimeoutOption())) return -1;
    double seconds = 0;
    if (!ParseStrictNumber(args.Value(TimeoutOption()), &seconds) || seconds <= 0 ||
        seconds > 3600) {
        return Fail(
            env, kExitUsage,
            QStringLiteral("Nieprawidłowa wartość --timeout: %1").arg(args.Value(TimeoutOption())));
    }
    *firstCycleMs = static_cast<int>(seconds * 1000);
    return -1;
}

// The port must be there before anything is opened: a missing one is a wrong
// argument, not a meter failure.
int ResolvePort(const CliEnv& env, const QString& text, int* port) {
    const bool devicePath = text.startsWith(QChar('/'));
    if (devicePath && !QFileInfo::exists(text)) {
        return Fail(env, kExitUsage, QStringLiteral("Nie ma takiego portu: %1").arg(text));
    }
    QString error;
    const int n = ResolvePortArgument(text, &error);
    if (n == 0) return Fail(env, kExitUsage, error);
    if (!devicePath) {
        const QString device = DeviceForPort(n);
        if (device.isEmpty() || !QFileInfo::exists(device)) {
            return Fail(env, kExitUsage,
                        device.isEmpty()
                            ? QStringLiteral("Nie ma portu COM%1").arg(n)
                            : QStringLiteral("Nie ma portu COM%1 (%2)").arg(n).arg(device));
        }
    }
    *port = n;
    return -1;
}

// --port or --demo: the COM number to connect to.
int ResolveMeterPort(const CliEnv& env, const CommandArgs& args, MeterSession& session, int* port) {
    if (args.IsSet(DemoOption())) {
        if (args.IsSet(PortOption())) {
            return Fail(env, kExitUsage, QStringLiteral("Opcje --demo i --port wykluczają się"));
        }
        if (int rc = StartDemo(env, session); rc >= 0) return rc;
        *port = kDemoPort;
        return -1;
    }
    if (!args.IsSet(PortOption())) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj port: --port COMn|N|ŚCIEŻKA albo --demo"));
    }
    return ResolvePort(env, args.Value(PortOption()).trimmed(), port);
}

void ReportOpenFailure(const CliEnv& env, const MeterSession& session, int port) {
    const QString why = session.LastOpenError();
    QString line = QString::asprintf("Nie można otworzyć portu COM%d", port);
    const QString device = DeviceForPort(port);
    if (!device.isEmpty() || !why.isEmpty()) {
        line += QStringLiteral(" (%1)").arg(why.isEmpty() ? device
                                                          : device + QStringLiteral(": ") + why);
    }
    env.Err(line + QChar('\n'));
    if (session.LastOpenPermissionDenied()) {
        env.Err(
            QStringLiteral("Brak uprawnień do portu: dodaj użytkownika do grupy dialout "
                           "(sudo usermod -aG dialout $USER) i zaloguj się ponownie.\n"));
    }
}

}  // namespace

int StartDemo(const CliEnv& env, MeterSession& session) {
    if (session.StartDemo()) return -1;
    return Fail(env, kExitMeter, QStringLiteral("Nie można uruchomić symulowanego miernika"));
}

int ConnectMeter(const CliEnv& env, const CommandArgs& args, MeterSession& session,
                 bool serviceData) {
    int firstCycleMs = 0;
    if (int rc = ReadTimeout(env, args, &firstCycleMs); rc >= 0) return rc;
    int port = 0;
    if (int rc = ResolveMeterPort(env, args, session, &port); rc >= 0) return rc;
    session.SetTiming(env.timing);
    session.SetServiceDataOn(serviceData);
    if (!session.Connect(port)) {
        ReportOpenFailure(env, session, port);
        return kExitMeter;
    }
    if (!session.WaitForLink(firstCycleMs, [&env] { return env.Stopped(); })) {
        return Fail(env, kExitMeter, QStringLiteral("Brak komunikacji z urządzeniem."));
    }
    return -1;
}

QString SlotCountFailureText() {
    return QStringLiteral("Błąd przy próbie odczytu liczy charakterystyk");
}

int OpenJournal(const CliEnv& env, WriteBatch& batch) {
    if (batch.Open()) return -1;
    return Fail(env, kExitUsage, JournalBlockedText(batch.Message()));
}

int WriteOutcomeCode(const CliEnv& env, const WriteOutcome& outcome, const QString& meterFailure) {
    switch (outcome.status) {
        case WriteStatus::Confirmed:
        case WriteStatus::Unchanged:
            if (!outcome.message.isEmpty()) env.Err(JoinLines(outcome.message) + "\n");
            return -1;
        case WriteStatus::MeterFailed:
        case WriteStatus::Unconfirmed:
            return Fail(env, kExitMeter, outcome.Text(meterFailure));
        case WriteStatus::Refused:
        case WriteStatus::JournalBlocked:
            break;
    }
    return Fail(env, kExitUsage, outcome.Text(meterFailure));
}

}  // namespace cli
