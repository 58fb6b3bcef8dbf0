// The meter: ports, info and watch.

#include <QDateTime>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "cli/record_text.h"
#include "serial/port_names.h"
#include "session/meter_texts.h"

namespace cli {

namespace {

QString ConditionText(const MeterCondition& c, const TemperatureReading& t) {
    const QStringList faults = MeterFaults(c, t);
    if (faults.isEmpty()) return QStringLiteral("bez błędów");
    return faults.join(QStringLiteral(". ")) + QLatin1Char('.');
}

QString TemperatureText(const TemperatureReading& t) {
    if (!t.valid || t.temperatureError) return QStringLiteral("??? °C");
    return QString::asprintf("%.2f °C", t.temperature);
}

// What `info` shows: every record of one snapshot of the session, with the
// link that backs them.
struct MeterInfo {
    MeterIdentity id;
    SerialNumberData sn;
    StartupDate date;
    MeterCondition cond;
    TemperatureReading t;
    CharacteristicCount count;

    bool Take(const MeterSnapshot& m) {
        id = m.identity;
        sn = m.serialNumber;
        date = m.startupDate;
        cond = m.condition;
        t = m.temperature;
        count = m.count;
        return m.linkUp() && id.valid && sn.valid && date.valid && cond.valid && t.valid &&
               count.valid;
    }
    QString Letter() const {
        return id.versionLetter ? QString(QChar::fromLatin1(id.versionLetter)) : QString();
    }
};

QString InfoJson(const MeterInfo& m, int port, const QString& device) {
    auto b = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
    auto q = [](const QString& s) { return QString::fromUtf8(JsonQuoted(s)); };
    QString o = QStringLiteral("{\n");
    o += QStringLiteral("  \"port\": \"COM%1\",\n").arg(port);
    o += QStringLiteral("  \"device\": %1,\n").arg(q(device));
    o += QStringLiteral("  \"model\": %1,\n").arg(q(QString::fromLatin1(m.id.model)));
    o += QStringLiteral("  \"versionLetter\": %1,\n").arg(q(m.Letter()));
    o +=
        QStringLiteral("  \"version\": \"%1.%2\",\n").arg(m.id.versionMajor).arg(m.id.versionMinor);
    o += QStringLiteral("  \"serialNumber\": %1,\n").arg(m.sn.serialNumber);
    o += QString::asprintf("  \"startupDate\": \"%04d-%02d\",\n", m.date.year, m.date.month);
    o += QStringLiteral("  \"startupMemoryError\": %1,\n").arg(b(m.cond.startupMemoryError));
    o += QStringLiteral("  \"startupDataError\": %1,\n").arg(b(m.cond.startupDataError));
    o += QStringLiteral("  \"lowSupplyVoltage\": %1,\n").arg(b(m.cond.lowSupplyVoltage));
    o += QString::asprintf("  \"temperature\": %.2f,\n", m.t.temperature);
    o += QStringLiteral("  \"temperatureError\": %1,\n").arg(b(m.t.temperatureError));
    o += QStringLiteral("  \"slots\": %1\n}\n").arg(m.count.count);
    return o;
}

QString InfoText(const MeterInfo& m, int port, const QString& device) {
    QString o;
    o += QStringLiteral("Port: COM%1 (%2)\n").arg(port).arg(device);
    o += QStringLiteral("Urządzenie: %1%2\n").arg(QString::fromLatin1(m.id.model), m.Letter());
    o += QStringLiteral("Wersja: %1.%2\n").arg(m.id.versionMajor).arg(m.id.versionMinor);
    o += QStringLiteral("Numer seryjny: %1\n").arg(m.sn.serialNumber);
    o += QString::asprintf("Data uruchamiania: %04d-%02d\n", m.date.year, m.date.month);
    o += QStringLiteral("Stan: %1\n").arg(ConditionText(m.cond, m.t));
    o += QStringLiteral("Temperatura: %1\n").arg(TemperatureText(m.t));
    o += QStringLiteral("Liczba charakterystyk: %1\n").arg(m.count.count);
    return o;
}

// The line of one complete polling cycle.
QString WatchLine(const MeterSnapshot& m, const QString& now) {
    const MeterCondition& c = m.condition;
    const TemperatureReading& t = m.temperature;
    const ServiceData& sd = m.serviceData;
    QString line = now + QStringLiteral("  ") + TemperatureText(t) + QStringLiteral("  ") +
                   ConditionText(c, t);
    if (sd.valid) line += QStringLiteral("  SD %1").arg(QString::fromLatin1(sd.text));
    return line + QChar('\n');
}

}  // namespace

int CmdPorts(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("ports"),
                  QStringLiteral("Wypisuje porty szeregowe z ich numerami COM, opisami i "
                                 "urządzeniami."));
    a.Add(DemoOption());
    if (int rc = a.Parse(env, args, 0, 0); rc >= 0) return rc;
    MeterSession demo;
    if (a.IsSet(DemoOption())) {
        if (int rc = StartDemo(env, demo); rc >= 0) return rc;
    }
    const std::vector<PortEntry> ports = ListPortEntries();
    if (ports.empty()) {
        env.Err(QStringLiteral("Nie znaleziono portów szeregowych.\n"));
        return kExitOk;
    }
    QString text;
    for (const PortEntry& e : ports) {
        text += QStringLiteral("COM%1\t%2\t%3\n")
                    .arg(e.number)
                    .arg(e.device)
                    .arg(e.description.isEmpty() ? QStringLiteral("-") : e.description);
    }
    env.Out(text);
    return kExitOk;
}

int CmdInfo(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("info"),
                  QStringLiteral("Pokazuje identyfikację miernika, numer seryjny, datę "
                                 "uruchamiania, stan, temperaturę i liczbę charakterystyk."));
    a.AddMeterOptions();
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Wypisz JSON."));
    a.Add(json);
    if (int rc = a.Parse(env, args, 0, 0); rc >= 0) return rc;
    MeterSession s;
    if (int rc = ConnectMeter(env, a, s, false); rc >= 0) return rc;
    MeterInfo info;
    if (!info.Take(s.Snapshot())) {
        return Fail(env, kExitMeter, QStringLiteral("Nie można odczytać ustawień"));
    }
    const QString device = DeviceForPort(s.Port());
    env.Out(a.IsSet(json) ? InfoJson(info, s.Port(), device) : InfoText(info, s.Port(), device));
    return kExitOk;
}

int CmdWatch(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("watch"),
                  QStringLiteral("Wypisuje jeden wiersz na każdy pełny cykl odpytywania (odczyt "
                                 "i stan), aż do przerwania."));
    a.AddMeterOptions();
    a.Add(CountOption());
    if (int rc = a.Parse(env, args, 0, 0); rc >= 0) return rc;
    const int maxLines = ReadCount(env, a);
    if (maxLines < 0) return kExitUsage;
    MeterSession s;
    if (int rc = ConnectMeter(env, a, s, true); rc >= 0) return rc;
    uint64_t seen = 0;
    bool lossShown = false;
    int lines = 0;
    while (!env.Stopped()) {
        const QString now =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const MeterSnapshot m = s.Snapshot();
        if (m.cycles != seen && m.linkUp()) {
            seen = m.cycles;
            lossShown = false;
            env.Out(WatchLine(m, now));
            if (maxLines && ++lines >= maxLines) break;
        } else if (!m.linkUp() && !lossShown) {
            lossShown = true;
            env.Out(now + QStringLiteral("  Brak komunikacji z urządzeniem.\n"));
        }
        Sleep(20);
    }
    return kExitOk;
}

}  // namespace cli
