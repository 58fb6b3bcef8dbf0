// kv60x-monitor: a console view of the meter session's snapshots: link status,
// identity, condition and temperature, one line per change.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <thread>

#include "serial/port_names.h"
#include "session/meter_session.h"
#include "sim/demo_meter.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

// The line of one snapshot: every record of the same moment.
QString Describe(const MeterSnapshot& m) {
    if (!m.linkUp()) return QStringLiteral("Brak komunikacji z urządzeniem.");
    const MeterIdentity& id = m.identity;
    const SerialNumberData& sn = m.serialNumber;
    const MeterCondition& cond = m.condition;
    const TemperatureReading& t = m.temperature;
    const StartupDate& date = m.startupDate;
    const CharacteristicCount& count = m.count;
    QString s;
    if (id.valid && sn.valid) {
        s += QString::asprintf("%s%c nr %d, wersja %d.%d", id.model, id.versionLetter,
                               sn.serialNumber, id.versionMajor, id.versionMinor);
    } else {
        s += QStringLiteral("Brak danych o urządzeniu");
    }
    if (date.valid) s += QString::asprintf(", uruchomiony %04d-%02d", date.year, date.month);
    if (count.valid) s += QString::asprintf(", charakterystyk: %d", count.count);
    if (t.valid) {
        s += t.temperatureError ? QStringLiteral(", temperatura: ??? (błąd pomiaru)")
                                : QString::asprintf(", temperatura: %.2f °C", t.temperature);
    }
    if (cond.valid && cond.startupDataError) s += QStringLiteral(", błąd danych uruchamiania");
    if (cond.valid && cond.startupMemoryError) s += QStringLiteral(", błąd pamięci uruchamiania");
    if (cond.valid && cond.lowSupplyVoltage) s += QStringLiteral(", niskie napięcie zasilania");
    return s;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kv60x-monitor");
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption demo("demo");
    const QCommandLineOption portOption("port", QString(), "port");
    parser.addOptions({help, demo, portOption});
    if (!parser.parse(app.arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            std::fprintf(stderr, "kv60x-monitor: nieznana opcja %s (zob. kv60x-monitor --help)\n",
                         qPrintable(unknown.first()));
        } else {
            std::fprintf(stderr, "kv60x-monitor: opcja --port wymaga wartości\n");
        }
        return 2;
    }
    if (parser.isSet(help)) {
        std::printf(
            "Użycie: kv60x-monitor --port COMn|URZĄDZENIE | --demo\n"
            "Podgląd miernika KV-60x w konsoli: identyfikacja, błędy i temperatura,\n"
            "wiersz przy każdej zmianie (Ctrl+C kończy).\n\n"
            "Opcje:\n"
            "  -h, --help     Pokazuje ten opis.\n"
            "  --demo         Wbudowany symulowany miernik (COM250).\n"
            "  --port PORT    Numer COM (1-255), COMn albo ścieżka urządzenia.\n");
        return 0;
    }

    MeterSession session;
    int port = 0;
    if (parser.isSet(demo)) {
        if (!session.StartDemo()) {
            std::fprintf(stderr, "kv60x-monitor: nie można uruchomić symulowanego miernika\n");
            return 1;
        }
        port = kDemoPort;
    } else if (parser.isSet(portOption)) {
        QString error;
        port = ResolvePortArgument(parser.value(portOption), &error);
        if (port == 0) {
            std::fprintf(stderr, "kv60x-monitor: %s\n", error.toUtf8().constData());
            return 2;
        }
    }
    if (port <= 0) {
        std::fprintf(stderr, "kv60x-monitor: podaj --port COMn|URZĄDZENIE albo --demo\n");
        return 2;
    }

    session.SetServiceDataOn(true);  // a reading every second
    if (!session.Connect(port)) {
        std::fprintf(stderr, "Nie można otworzyć portu COM%d (%s)\n", port,
                     qPrintable(session.LastOpenError()));
        if (session.LastOpenPermissionDenied()) {
            std::fprintf(stderr, "Brak uprawnień: dodaj użytkownika do grupy dialout.\n");
        }
        return 1;
    }
    std::printf("COM%d: %s\n", port, qPrintable(DeviceForPort(port)));
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QString last;
    while (!g_stop) {
        const QString now = Describe(session.Snapshot());
        if (now != last) {
            std::printf("%s\n", now.toUtf8().constData());
            std::fflush(stdout);
            last = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // The session lets the port go, then stops the demo meter behind it.
    return 0;
}
