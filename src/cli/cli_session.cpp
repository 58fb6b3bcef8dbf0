// The connection of one command to the meter (or to the demo meter).

#include "cli/cli_session.h"

#include <QFileInfo>

#include "serial/port_names.h"
#include "sim/demo_meter.h"

namespace cli {

MeterSession::MeterSession(const CliEnv& env)
    : m_env(env),
      m_session(std::make_unique<::MeterSession>()),
      m_firstCycleMs(env.firstCycleTimeoutMs) {}

MeterSession::~MeterSession() = default;

int MeterSession::Resolve(const CommandArgs& args) {
    if (int rc = ReadTimeout(args); rc >= 0) return rc;
    if (args.IsSet(DemoOption())) {
        if (args.IsSet(PortOption())) {
            return Fail(m_env, kExitUsage, QStringLiteral("Opcje --demo i --port wykluczają się"));
        }
        if (!StartDemo()) {
            return Fail(m_env, kExitMeter,
                        QStringLiteral("Nie można uruchomić symulowanego miernika"));
        }
        m_port = kDemoPort;
        return -1;
    }
    if (!args.IsSet(PortOption())) {
        return Fail(m_env, kExitUsage,
                    QStringLiteral("Podaj port: --port COMn|N|ŚCIEŻKA albo --demo"));
    }
    return ResolvePort(args.Value(PortOption()).trimmed());
}

int MeterSession::ReadTimeout(const CommandArgs& args) {
    if (!args.IsSet(TimeoutOption())) return -1;
    double seconds = 0;
    if (!ParseStrictNumber(args.Value(TimeoutOption()), &seconds) || seconds <= 0 ||
        seconds > 3600) {
        return Fail(
            m_env, kExitUsage,
            QStringLiteral("Nieprawidłowa wartość --timeout: %1").arg(args.Value(TimeoutOption())));
    }
    m_firstCycleMs = static_cast<int>(seconds * 1000);
    return -1;
}

// The port must be there before anything is opened: a missing one is a wrong
// argument, not a meter failure.
int MeterSession::ResolvePort(const QString& text) {
    const bool devicePath = text.startsWith(QChar('/'));
    if (devicePath && !QFileInfo::exists(text)) {
        return Fail(m_env, kExitUsage, QStringLiteral("Nie ma takiego portu: %1").arg(text));
    }
    QString error;
    const int n = ResolvePortArgument(text, &error);
    if (n == 0) return Fail(m_env, kExitUsage, error);
    if (!devicePath) {
        const QString device = DeviceForPort(n);
        if (device.isEmpty() || !QFileInfo::exists(device)) {
            return Fail(m_env, kExitUsage,
                        device.isEmpty()
                            ? QStringLiteral("Nie ma portu COM%1").arg(n)
                            : QStringLiteral("Nie ma portu COM%1 (%2)").arg(n).arg(device));
        }
    }
    m_port = n;
    return -1;
}

bool MeterSession::StartDemo() {
    return m_session->StartDemo();
}

int MeterSession::Connect(bool serviceData) {
    m_session->SetTiming(m_env.timing);
    m_session->SetServiceDataOn(serviceData);
    if (!m_session->Connect(m_port)) {
        ReportOpenFailure();
        return kExitMeter;
    }
    if (!m_session->WaitForLink(m_firstCycleMs, [this] { return m_env.Stopped(); })) {
        return Fail(m_env, kExitMeter, QStringLiteral("Brak komunikacji z urządzeniem."));
    }
    return -1;
}

void MeterSession::ReportOpenFailure() {
    const QString why = m_session->LastOpenError();
    const bool denied = m_session->LastOpenPermissionDenied();
    QString line = QString::asprintf("Nie można otworzyć portu COM%d", m_port);
    const QString device = DeviceForPort(m_port);
    if (!device.isEmpty() || !why.isEmpty()) {
        line += QStringLiteral(" (%1)").arg(why.isEmpty() ? device
                                                          : device + QStringLiteral(": ") + why);
    }
    m_env.Err(line + QChar('\n'));
    if (denied) {
        m_env.Err(
            QStringLiteral("Brak uprawnień do portu: dodaj użytkownika do grupy dialout "
                           "(sudo usermod -aG dialout $USER) i zaloguj się ponownie.\n"));
    }
}

int MeterSession::SlotCount(int cap) {
    const int n = m_session->SlotCount(cap);
    if (n < 0)
        Fail(m_env, kExitMeter, QStringLiteral("Błąd przy próbie odczytu liczy charakterystyk"));
    return n;
}

}  // namespace cli
