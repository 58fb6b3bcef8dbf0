#include "cli/cli.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <chrono>
#include <cmath>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "app/registration.h"
#include "cli/record_text.h"
#include "records/record_files.h"
#include "serial/port_names.h"
#include "sim/demo_meter.h"

namespace {

const char* const kProgram = "kv60x-cli";

// One failure: exactly one line on stderr (a message with its own line breaks is
// joined into one line).
int Fail(const CliEnv& env, int code, QString line) {
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(QChar('\n'), QChar(' '));
    env.Err(line + QChar('\n'));
    return code;
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// ---- argument parsing -------------------------------------------------------

const QCommandLineOption kPortOption(
    QStringLiteral("port"), QStringLiteral("COM number, COMn or device path of the meter."),
    QStringLiteral("P"));
const QCommandLineOption kTimeoutOption(
    QStringLiteral("timeout"),
    QStringLiteral("Seconds to wait for the meter's first complete answers (default 15)."),
    QStringLiteral("S"));
const QCommandLineOption kDemoOption(
    QStringLiteral("demo"),
    QStringLiteral("Use a built-in simulated meter (COM250) with sample characteristics."));

// Parses `args` (the words after the command) into `p`. Returns -1 to go on, or
// the exit code when help was shown or the arguments are wrong.
int Parse(const CliEnv& env, QCommandLineParser& p, const QString& command, const QStringList& args,
          int minPositional, int maxPositional) {
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = p.addHelpOption();
    if (!p.parse(QStringList{QString::fromLatin1(kProgram)} + args)) {
        return Fail(
            env, kExitUsage,
            QStringLiteral("%1 %2: %3 (zob. --help)").arg(kProgram, command, p.errorText()));
    }
    if (p.isSet(help)) {
        QString text = p.helpText();
        // Qt's first line names the binary as it was started; name the command.
        const qsizetype nl = text.indexOf(QChar('\n'));
        QString usage = QStringLiteral("Usage: %1 %2 [options]").arg(kProgram, command);
        const QString first = text.left(nl);
        const qsizetype opts = first.indexOf(QStringLiteral("[options]"));
        if (opts >= 0) usage += first.mid(opts + 9);
        env.Out(usage + text.mid(nl));
        return kExitOk;
    }
    const qsizetype n = p.positionalArguments().size();
    if (n < minPositional || n > maxPositional) {
        return Fail(env, kExitUsage,
                    QStringLiteral("%1 %2: nieprawidłowa liczba argumentów (zob. --help)")
                        .arg(kProgram, command));
    }
    return -1;
}

bool ParseStrictInt(const QString& text, int* out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok) *out = v;
    return ok;
}

// A whole decimal number; a comma is taken for the decimal sign.
bool ParseStrictNumber(QString text, double* out) {
    text = text.trimmed();
    text.replace(QChar(','), QChar('.'));
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// "1,3-5" -> {1, 3, 4, 5}; false on anything else.
bool ParseSlotList(const QString& text, std::set<int>* out) {
    static const QRegularExpression item(
        QStringLiteral("^\\s*(\\d{1,3})\\s*(?:-\\s*(\\d{1,3})\\s*)?$"));
    const QStringList parts = text.split(QChar(','));
    for (const QString& part : parts) {
        const auto m = item.match(part);
        if (!m.hasMatch()) return false;
        const int from = m.captured(1).toInt();
        const int to = m.captured(2).isEmpty() ? from : m.captured(2).toInt();
        if (from < 1 || to < from) return false;
        for (int s = from; s <= to; ++s) out->insert(s);
    }
    return !out->empty();
}

QString ConditionText(const MeterCondition& c, const TemperatureReading& t) {
    QString s;
    if (c.valid && c.startupDataError) s += QStringLiteral(" Błąd danych uruchamiania.");
    if (c.valid && c.startupMemoryError) s += QStringLiteral(" Błąd pamięci uruchamiania.");
    if (c.valid && c.lowSupplyVoltage) s += QStringLiteral(" Niskie napięcie zasilania.");
    if (t.valid && t.temperatureError) s += QStringLiteral(" Błąd pomiaru temperatury.");
    return s.isEmpty() ? QStringLiteral("bez błędów") : s.trimmed();
}

QString TemperatureText(const TemperatureReading& t) {
    if (!t.valid || t.temperatureError) return QStringLiteral("??? °C");
    return QString::asprintf("%.2f °C", t.temperature);
}

bool OutputPathUsable(const QString& path) {
    const QFileInfo fi(path);
    if (path.isEmpty() || fi.isDir()) return false;
    const QFileInfo dir(fi.absolutePath());
    return dir.isDir() && dir.isWritable();
}

bool WriteTextFile(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

QString JoinLines(QString text) {
    text.replace(QChar('\n'), QChar(' '));
    return text;
}

// ---- the meter ----------------------------------------------------------------

// The connection of one command: resolves the port (or starts the demo meter),
// connects, waits for the first complete polling cycle and releases it all.
class MeterSession {
public:
    explicit MeterSession(const CliEnv& env)
        : m_env(env), m_firstCycleMs(env.firstCycleTimeoutMs) {}
    ~MeterSession() {
        if (m_driver) m_driver->Disconnect();
        m_driver.reset();
        StopDemoMeter(m_sim);
    }
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    // Returns -1 when a port is known, otherwise the exit code (message shown).
    int Resolve(const QCommandLineParser& p) {
        if (p.isSet(kTimeoutOption)) {
            double seconds = 0;
            if (!ParseStrictNumber(p.value(kTimeoutOption), &seconds) || seconds <= 0 ||
                seconds > 3600) {
                return Fail(m_env, kExitUsage,
                            QStringLiteral("Nieprawidłowa wartość --timeout: %1")
                                .arg(p.value(kTimeoutOption)));
            }
            m_firstCycleMs = static_cast<int>(seconds * 1000);
        }
        if (p.isSet(kDemoOption)) {
            if (p.isSet(kPortOption)) {
                return Fail(m_env, kExitUsage,
                            QStringLiteral("Opcje --demo i --port wykluczają się"));
            }
            if (!StartDemo()) {
                return Fail(m_env, kExitMeter,
                            QStringLiteral("Nie można uruchomić symulowanego miernika"));
            }
            m_port = kDemoPort;
            return -1;
        }
        if (!p.isSet(kPortOption)) {
            return Fail(m_env, kExitUsage,
                        QStringLiteral("Podaj port: --port COMn|N|ŚCIEŻKA albo --demo"));
        }
        const QString text = p.value(kPortOption).trimmed();
        if (text.startsWith(QChar('/'))) {
            if (!QFileInfo::exists(text)) {
                return Fail(m_env, kExitUsage,
                            QStringLiteral("Nie ma takiego portu: %1").arg(text));
            }
            m_port = PortForDevice(text);
            return -1;
        }
        static const QRegularExpression com(QStringLiteral("^(?:COM)?(\\d{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
        const auto m = com.match(text);
        const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (n < 1 || n > 255) {
            return Fail(m_env, kExitUsage,
                        QStringLiteral(
                            "Nieprawidłowy port: %1 (podaj COMn, numer COM lub ścieżkę urządzenia)")
                            .arg(text));
        }
        const QString device = DeviceForPort(n);
        if (device.isEmpty() || !QFileInfo::exists(device)) {
            return Fail(m_env, kExitUsage,
                        device.isEmpty()
                            ? QStringLiteral("Nie ma portu COM%1").arg(n)
                            : QStringLiteral("Nie ma portu COM%1 (%2)").arg(n).arg(device));
        }
        m_port = n;
        return -1;
    }

    bool StartDemo() {
        m_sim = StartDemoMeter();
        return m_sim != nullptr;
    }

    // Connects and waits for a complete polling cycle. -1 when the meter answers,
    // otherwise the exit code (message shown).
    int Connect(bool serviceData) {
        m_driver = std::make_unique<Ckv60xDriver>();
        m_driver->SetTiming(m_env.timing);
        m_driver->SetServiceDataOn(serviceData);
        if (!m_driver->Connect(m_port)) {
            const QString why = m_driver->LastOpenError();
            const bool denied = m_driver->LastOpenPermissionDenied();
            m_driver->Disconnect();
            QString line = QString::asprintf("Nie można otworzyć portu COM%d", m_port);
            const QString device = DeviceForPort(m_port);
            if (!device.isEmpty() || !why.isEmpty()) {
                line += QStringLiteral(" (%1)").arg(
                    why.isEmpty() ? device : device + QStringLiteral(": ") + why);
            }
            m_env.Err(line + QChar('\n'));
            if (denied) {
                m_env.Err(
                    QStringLiteral("Brak uprawnień do portu: dodaj użytkownika do grupy dialout "
                                   "(sudo usermod -aG dialout $USER) i zaloguj się ponownie.\n"));
            }
            return kExitMeter;
        }
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(m_firstCycleMs);
        while (!(m_driver->GetStatus() == 0 && m_driver->CompletedCycles() > 0)) {
            if (m_env.Stopped() || std::chrono::steady_clock::now() >= until) {
                return Fail(m_env, kExitMeter, QStringLiteral("Brak komunikacji z urządzeniem."));
            }
            Sleep(10);
        }
        return -1;
    }

    Ckv60xDriver& Driver() { return *m_driver; }
    int Port() const { return m_port; }

    // The meter's slot count (clamped to `cap` when cap > 0); -1 with the message
    // shown when the meter never reported it.
    int SlotCount(int cap) {
        CharacteristicCount c;
        m_driver->GetCharacteristicCount(c);
        if (!c.valid) {
            Fail(m_env, kExitMeter,
                 QStringLiteral("Błąd przy próbie odczytu liczy charakterystyk"));
            return -1;
        }
        return cap > 0 && c.count > cap ? cap : c.count;
    }

private:
    const CliEnv& m_env;
    std::unique_ptr<MeterSimulator> m_sim;
    std::unique_ptr<Ckv60xDriver> m_driver;
    int m_port = 0;
    int m_firstCycleMs = 0;
};

void AddMeterOptions(QCommandLineParser& p) {
    p.addOption(kPortOption);
    p.addOption(kDemoOption);
    p.addOption(kTimeoutOption);
}

// Reads slot `index` (0-based); the answer must name the slot asked for.
bool ReadSlot(Ckv60xDriver& d, int index, CharRecData* out) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        CharRecData rec;
        if (d.ReadCharacteristic(index, rec) != kMeterOk) return false;
        if (rec.valid && rec.REC_NUMBER == index) {
            *out = rec;
            return true;
        }
    }
    return false;
}

void Progress(const CliEnv& env, const QString& what, int done, int total) {
    if (!env.progress) return;
    env.Err(QStringLiteral("\r%1: %2/%3").arg(what).arg(done).arg(total) +
            (done == total ? "\n" : ""));
}

void EndProgress(const CliEnv& env, int done, int total) {
    if (env.progress && done != total) env.Err(QStringLiteral("\n"));
}

// ---- commands -------------------------------------------------------------------

int CmdPorts(const CliEnv& env, const QStringList& args) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Lists the serial ports with their COM numbers, descriptions and devices."));
    p.addOption(kDemoOption);
    if (int rc = Parse(env, p, QStringLiteral("ports"), args, 0, 0); rc >= 0) return rc;
    MeterSession demo(env);
    if (p.isSet(kDemoOption) && !demo.StartDemo()) {
        return Fail(env, kExitMeter, QStringLiteral("Nie można uruchomić symulowanego miernika"));
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
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Shows the meter's identity, serial number, startup date, condition, "
                       "temperature and slot count."));
    AddMeterOptions(p);
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print JSON."));
    p.addOption(json);
    if (int rc = Parse(env, p, QStringLiteral("info"), args, 0, 0); rc >= 0) return rc;
    MeterSession s(env);
    if (int rc = s.Resolve(p); rc >= 0) return rc;
    if (int rc = s.Connect(false); rc >= 0) return rc;
    Ckv60xDriver& d = s.Driver();
    MeterIdentity id;
    SerialNumberData sn;
    StartupDate date;
    MeterCondition cond;
    TemperatureReading t;
    CharacteristicCount count;
    d.GetIdentity(id);
    d.GetSerialNumber(sn);
    d.GetStartupDate(date);
    d.GetCondition(cond);
    d.GetTemperature(t);
    d.GetCharacteristicCount(count);
    if (!id.valid || !sn.valid || !date.valid || !cond.valid || !t.valid || !count.valid) {
        return Fail(env, kExitMeter, QStringLiteral("Nie można odczytać ustawień"));
    }
    const QString device = DeviceForPort(s.Port());
    const QString letter =
        id.versionLetter ? QString(QChar::fromLatin1(id.versionLetter)) : QString();
    if (p.isSet(json)) {
        auto b = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
        QString o = QStringLiteral("{\n");
        o += QStringLiteral("  \"port\": \"COM%1\",\n").arg(s.Port());
        o += QStringLiteral("  \"device\": %1,\n").arg(QString::fromUtf8(JsonQuoted(device)));
        o += QStringLiteral("  \"model\": %1,\n")
                 .arg(QString::fromUtf8(JsonQuoted(QString::fromLatin1(id.model))));
        o +=
            QStringLiteral("  \"versionLetter\": %1,\n").arg(QString::fromUtf8(JsonQuoted(letter)));
        o +=
            QStringLiteral("  \"version\": \"%1.%2\",\n").arg(id.versionMajor).arg(id.versionMinor);
        o += QStringLiteral("  \"serialNumber\": %1,\n").arg(sn.serialNumber);
        o += QString::asprintf("  \"startupDate\": \"%04d-%02d\",\n", date.year, date.month);
        o += QStringLiteral("  \"startupMemoryError\": %1,\n").arg(b(cond.startupMemoryError));
        o += QStringLiteral("  \"startupDataError\": %1,\n").arg(b(cond.startupDataError));
        o += QStringLiteral("  \"lowSupplyVoltage\": %1,\n").arg(b(cond.lowSupplyVoltage));
        o += QString::asprintf("  \"temperature\": %.2f,\n", t.temperature);
        o += QStringLiteral("  \"temperatureError\": %1,\n").arg(b(t.temperatureError));
        o += QStringLiteral("  \"slots\": %1\n}\n").arg(count.count);
        env.Out(o);
        return kExitOk;
    }
    QString o;
    o += QStringLiteral("Port: COM%1 (%2)\n").arg(s.Port()).arg(device);
    o += QStringLiteral("Urządzenie: %1%2\n").arg(QString::fromLatin1(id.model), letter);
    o += QStringLiteral("Wersja: %1.%2\n").arg(id.versionMajor).arg(id.versionMinor);
    o += QStringLiteral("Numer seryjny: %1\n").arg(sn.serialNumber);
    o += QString::asprintf("Data uruchamiania: %04d-%02d\n", date.year, date.month);
    o += QStringLiteral("Stan: %1\n").arg(ConditionText(cond, t));
    o += QStringLiteral("Temperatura: %1\n").arg(TemperatureText(t));
    o += QStringLiteral("Liczba charakterystyk: %1\n").arg(count.count);
    env.Out(o);
    return kExitOk;
}

int CmdWatch(const CliEnv& env, const QStringList& args) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Prints one line per complete polling cycle (reading and status) until interrupted."));
    AddMeterOptions(p);
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Stop after N lines."),
                                   QStringLiteral("N"));
    p.addOption(count);
    if (int rc = Parse(env, p, QStringLiteral("watch"), args, 0, 0); rc >= 0) return rc;
    int maxLines = 0;
    if (p.isSet(count) && (!ParseStrictInt(p.value(count), &maxLines) || maxLines < 1)) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowa wartość --count: %1").arg(p.value(count)));
    }
    MeterSession s(env);
    if (int rc = s.Resolve(p); rc >= 0) return rc;
    if (int rc = s.Connect(true); rc >= 0) return rc;
    Ckv60xDriver& d = s.Driver();
    uint64_t seen = 0;
    bool lossShown = false;
    int lines = 0;
    while (!env.Stopped()) {
        const QString now =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const uint64_t cycles = d.CompletedCycles();
        if (cycles != seen && d.GetStatus() == 0) {
            seen = cycles;
            lossShown = false;
            MeterCondition c;
            TemperatureReading t;
            ServiceData sd;
            d.GetCondition(c);
            d.GetTemperature(t);
            d.GetServiceData(sd);
            QString line = now + QStringLiteral("  ") + TemperatureText(t) + QStringLiteral("  ") +
                           ConditionText(c, t);
            if (sd.valid) line += QStringLiteral("  SD %1").arg(QString::fromLatin1(sd.text));
            env.Out(line + QChar('\n'));
            if (maxLines && ++lines >= maxLines) break;
        } else if (d.GetStatus() != 0 && !lossShown) {
            lossShown = true;
            env.Out(now + QStringLiteral("  Brak komunikacji z urządzeniem.\n"));
        }
        Sleep(20);
    }
    return kExitOk;
}

int CmdLog(const CliEnv& env, const QStringList& args) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Registers the temperature to a text/CSV file at a fixed interval, in the "
                       "same format as the "
                       "program's registration to file, until interrupted."));
    AddMeterOptions(p);
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("Seconds between lines (0.1 to 86399)."),
                                      QStringLiteral("S"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Registration file."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption sep(
        QStringLiteral("sep"),
        QStringLiteral("Column separator: tab, comma, semicolon or locale (default)."),
        QStringLiteral("SEP"), QStringLiteral("locale"));
    const QCommandLineOption dec(QStringLiteral("decimal"),
                                 QStringLiteral("Decimal sign: comma, dot or locale (default)."),
                                 QStringLiteral("SIGN"), QStringLiteral("locale"));
    const QCommandLineOption comment(QStringLiteral("comment"),
                                     QStringLiteral("Comment written when registration starts."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption append(QStringLiteral("append"),
                                    QStringLiteral("Append to an existing file."));
    const QCommandLineOption truncate(QStringLiteral("truncate"),
                                      QStringLiteral("Empty an existing file first."));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Stop after N lines."),
                                   QStringLiteral("N"));
    p.addOptions({interval, out, sep, dec, comment, append, truncate, count});
    if (int rc = Parse(env, p, QStringLiteral("log"), args, 0, 0); rc >= 0) return rc;

    double seconds = 0;
    if (!p.isSet(interval) || !ParseStrictNumber(p.value(interval), &seconds) || seconds < 0.1 ||
        seconds > 86399) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj interwał rejestracji: --interval S (0.1..86399 s)"));
    }
    const QString path = p.value(out);
    if (path.isEmpty())
        return Fail(env, kExitUsage, QStringLiteral("Podaj plik rejestracji: --out PLIK"));
    static const std::map<QString, int> kSeps = {
        {"tab", 1}, {"comma", 2}, {"semicolon", 3}, {"locale", 0}};
    static const std::map<QString, int> kDecs = {{"comma", 1}, {"dot", 2}, {"locale", 0}};
    const auto sepIt = kSeps.find(p.value(sep));
    const auto decIt = kDecs.find(p.value(dec));
    if (sepIt == kSeps.end())
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowy separator kolumn: %1").arg(p.value(sep)));
    if (decIt == kDecs.end())
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowy znak dziesiętny: %1").arg(p.value(dec)));
    int maxLines = 0;
    if (p.isSet(count) && (!ParseStrictInt(p.value(count), &maxLines) || maxLines < 1)) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowa wartość --count: %1").arg(p.value(count)));
    }
    if (p.isSet(append) && p.isSet(truncate)) {
        return Fail(env, kExitUsage, QStringLiteral("Opcje --append i --truncate wykluczają się"));
    }
    const bool existed = QFileInfo::exists(path);
    if (existed && !p.isSet(append) && !p.isSet(truncate)) {
        return Fail(
            env, kExitUsage,
            QStringLiteral(
                "Plik rejestracji pomiarów już istnieje: %1 (podaj --append, aby dopisywać, "
                "albo --truncate, aby skasować poprzednią zawartość)")
                .arg(path));
    }
    if (!existed && !OutputPathUsable(path)) {
        return Fail(
            env, kExitUsage,
            QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny. (%1)")
                .arg(path));
    }

    MeterSession s(env);
    if (int rc = s.Resolve(p); rc >= 0) return rc;
    if (int rc = s.Connect(true); rc >= 0) return rc;

    RegistrationFile file;
    const RegistrationFile::OpenResult opened = file.Open(path);
    if (opened == RegistrationFile::OpenResult::Failed ||
        (opened == RegistrationFile::OpenResult::Existed && p.isSet(truncate) &&
         !file.Truncate())) {
        return Fail(
            env, kExitUsage,
            QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny. (%1)")
                .arg(path));
    }
    const bool appending = opened == RegistrationFile::OpenResult::Existed && p.isSet(append);
    file.SetHeaderPending();
    if (p.isSet(comment)) {
        QString text = p.value(comment);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QChar('\n'), QStringLiteral("\r\n"));
        if ((appending && !file.WriteText(QStringLiteral("\r\n"))) ||
            (!text.isEmpty() && !file.WriteText(text + QStringLiteral("\r\n")))) {
            return Fail(
                env, kExitUsage,
                QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny. (%1)")
                    .arg(path));
        }
    }

    const QChar separator = RegistrationSeparator(sepIt->second);
    const QChar decimal = RegistrationDecimalSign(decIt->second);
    Ckv60xDriver& d = s.Driver();
    const auto start = std::chrono::steady_clock::now();
    const auto step = std::chrono::microseconds(static_cast<int64_t>(seconds * 1e6));
    int64_t written = 0;
    bool lost = false;
    bool failing = false;
    while (!env.Stopped()) {
        const auto due = start + step * written;
        const auto now = std::chrono::steady_clock::now();
        if (now < due) {
            Sleep(static_cast<int>(std::min<int64_t>(
                20, std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count() + 1)));
            continue;
        }
        TemperatureReading t;
        const int status = d.GetTemperature(t);
        const QString when = RegistrationDateTime(std::time(nullptr));
        const QString value = RegistrationValue(t, status == 0, decimal);
        if (file.WriteLine(when, separator, value)) {
            failing = false;
            env.Out(when + separator + value + QChar('\n'));
        } else {
            lost = true;
            if (!failing)
                env.Err(QStringLiteral("Błąd zapisu do pliku rejestracji: %1\n").arg(path));
            failing = true;
        }
        ++written;
        if (maxLines && written >= maxLines) break;
        // After a long stall (a suspended machine) go on from now, not in a burst.
        if (std::chrono::steady_clock::now() > start + step * (written + 1)) {
            written = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start) /
                      step;
        }
    }
    file.Close();
    return lost ? kExitMeter : kExitOk;
}

int CmdTable(const CliEnv& env, const QStringList& args) {
    const QString sub = args.value(0);
    if (sub != QLatin1String("read") && sub != QLatin1String("write")) {
        if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
            env.Out(
                QStringLiteral("Usage: kv60x-cli table read --port P --out FILE.kvz\n"
                               "       kv60x-cli table write --port P FILE.kvz [--slots 1,3-5]\n"));
            return kExitOk;
        }
        return Fail(env, kExitUsage,
                    QStringLiteral("kv60x-cli table: podaj read albo write (zob. --help)"));
    }
    const QStringList rest = args.mid(1);
    QCommandLineParser p;
    AddMeterOptions(p);
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Record set file to write."),
                                 QStringLiteral("FILE.kvz"));
    const QCommandLineOption slotList(
        QStringLiteral("slots"),
        QStringLiteral("Slots to write, e.g. 1,3-5 (1 is the first); all when omitted."),
        QStringLiteral("LIST"));
    const bool reading = sub == QLatin1String("read");
    if (reading) {
        p.setApplicationDescription(QStringLiteral(
            "Reads every characteristic of the meter into a record set file (.kvz)."));
        p.addOption(out);
        if (int rc = Parse(env, p, QStringLiteral("table read"), rest, 0, 0); rc >= 0) return rc;
    } else {
        p.setApplicationDescription(
            QStringLiteral("Writes the characteristics of a record set file (.kvz) to the meter: "
                           "the given slots or all of them."));
        p.addPositionalArgument(QStringLiteral("FILE.kvz"), QStringLiteral("Record set file."));
        p.addOption(slotList);
        if (int rc = Parse(env, p, QStringLiteral("table write"), rest, 1, 1); rc >= 0) return rc;
    }

    if (reading) {
        const QString path = p.value(out);
        if (path.isEmpty())
            return Fail(env, kExitUsage, QStringLiteral("Podaj plik: --out PLIK.kvz"));
        if (!OutputPathUsable(path)) {
            return Fail(env, kExitUsage,
                        QStringLiteral("Błąd w trakcie zapisu charakterystyk: %1").arg(path));
        }
        MeterSession s(env);
        if (int rc = s.Resolve(p); rc >= 0) return rc;
        if (int rc = s.Connect(false); rc >= 0) return rc;
        const int n = s.SlotCount(CTableCharRec::kSlots);
        if (n < 0) return kExitMeter;
        auto set = std::make_unique<CTableCharRec>();
        for (int i = 0; i < n; ++i) {
            if (env.Stopped()) {
                EndProgress(env, i, n);
                return Fail(env, kExitMeter,
                            QStringLiteral("Przerwano; plik nie został zapisany."));
            }
            CharRecData rec;
            if (!ReadSlot(s.Driver(), i, &rec)) {
                EndProgress(env, i, n);
                return Fail(env, kExitMeter,
                            QStringLiteral("Nie można odczytać ustawień (charakterystyka nr %1)")
                                .arg(i + 1));
            }
            set->Put(rec, i);
            Progress(env, QStringLiteral("Odczyt charakterystyk"), i + 1, n);
        }
        if (!SaveCharRecSetFile(path, *set)) {
            return Fail(env, kExitUsage,
                        QStringLiteral("Błąd w trakcie zapisu charakterystyk: %1").arg(path));
        }
        env.Out(QStringLiteral("Odczytano charakterystyk: %1 -> %2\n").arg(n).arg(path));
        return kExitOk;
    }

    const QString path = p.positionalArguments().at(0);
    auto set = std::make_unique<CTableCharRec>();
    if (!LoadCharRecSetFile(path, set.get())) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Błąd w trakcie odczytu charakterystyk: %1").arg(path));
    }
    std::set<int> chosen;
    if (p.isSet(slotList) && !ParseSlotList(p.value(slotList), &chosen)) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieprawidłowa lista charakterystyk: %1 (np. 1,3-5)")
                        .arg(p.value(slotList)));
    }
    // Every record to be written must pass the editor's validation before
    // anything reaches the meter; an empty slot (no curve) may be written to
    // clear the slot, a block marked not valid is never sent.
    const int fileCount = std::min(set->Count(), CTableCharRec::kSlots);
    for (int i = 0; i < fileCount; ++i) {
        if (!chosen.empty() && !chosen.count(i + 1)) continue;
        const CharRecData rec = set->Get(i);
        if (!rec.valid || IsBlankRecord(rec)) continue;
        const QString message = CheckRecordForWrite(rec);
        if (!message.isEmpty()) {
            return Fail(
                env, kExitUsage,
                QStringLiteral("Charakterystyka nr %1: %2").arg(i + 1).arg(JoinLines(message)));
        }
    }
    MeterSession s(env);
    if (int rc = s.Resolve(p); rc >= 0) return rc;
    if (int rc = s.Connect(false); rc >= 0) return rc;
    const int meterCount = s.SlotCount(CTableCharRec::kSlots);
    if (meterCount < 0) return kExitMeter;
    const int limit = std::min(fileCount, meterCount);
    std::vector<int> todo;
    if (chosen.empty()) {
        for (int i = 0; i < limit; ++i) todo.push_back(i);
    } else {
        for (int slot : chosen) {
            if (slot > limit) {
                return Fail(env, kExitUsage,
                            QStringLiteral(
                                "Charakterystyka nr %1 poza zakresem 1..%2 (plik: %3, miernik: %4)")
                                .arg(slot)
                                .arg(limit)
                                .arg(set->Count())
                                .arg(meterCount));
            }
            todo.push_back(slot - 1);
        }
    }
    int done = 0;
    int skipped = 0;
    for (size_t k = 0; k < todo.size(); ++k) {
        const int i = todo[k];
        if (env.Stopped()) {
            EndProgress(env, static_cast<int>(k), static_cast<int>(todo.size()));
            return Fail(env, kExitMeter,
                        QStringLiteral("Przerwano po zapisaniu %1 z %2 charakterystyk.")
                            .arg(done)
                            .arg(todo.size()));
        }
        CharRecData rec = set->Get(i);
        rec.REC_NUMBER = static_cast<uint8_t>(i);  // record i of the file goes to slot i
        if (!rec.valid) {
            ++skipped;
        } else if (s.Driver().WriteCharacteristic(rec) != kMeterOk) {
            EndProgress(env, static_cast<int>(k), static_cast<int>(todo.size()));
            return Fail(
                env, kExitMeter,
                QStringLiteral("Nie można zapisać ustawień (charakterystyka nr %1)").arg(i + 1));
        } else {
            ++done;
        }
        Progress(env, QStringLiteral("Zapis charakterystyk"), static_cast<int>(k + 1),
                 static_cast<int>(todo.size()));
    }
    env.Out(
        QStringLiteral("Zapisano charakterystyk: %1%2\n")
            .arg(done)
            .arg(skipped ? QStringLiteral(" (pominięto pustych: %1)").arg(skipped) : QString()));
    return kExitOk;
}

int CmdRecord(const CliEnv& env, const QStringList& args) {
    const QString sub = args.value(0);
    if (sub != QLatin1String("read") && sub != QLatin1String("write")) {
        if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
            env.Out(
                QStringLiteral("Usage: kv60x-cli record read --port P --slot N FILE.kvr\n"
                               "       kv60x-cli record write --port P --slot N FILE.kvr\n"));
            return kExitOk;
        }
        return Fail(env, kExitUsage,
                    QStringLiteral("kv60x-cli record: podaj read albo write (zob. --help)"));
    }
    const bool reading = sub == QLatin1String("read");
    QCommandLineParser p;
    p.setApplicationDescription(
        reading ? QStringLiteral("Reads one characteristic of the meter into a record file (.kvr).")
                : QStringLiteral("Writes a record file (.kvr) into one slot of the meter."));
    AddMeterOptions(p);
    const QCommandLineOption slot(QStringLiteral("slot"),
                                  QStringLiteral("Slot number (1 is the first)."),
                                  QStringLiteral("N"));
    p.addOption(slot);
    p.addPositionalArgument(QStringLiteral("FILE.kvr"), QStringLiteral("Record file."));
    if (int rc = Parse(env, p, QStringLiteral("record ") + sub, args.mid(1), 1, 1); rc >= 0)
        return rc;
    int n = 0;
    if (!p.isSet(slot) || !ParseStrictInt(p.value(slot), &n) || n < 1 || n > 255) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj numer charakterystyki: --slot N (1 to pierwsza)"));
    }
    const QString path = p.positionalArguments().at(0);
    CharRecData rec;
    if (reading) {
        if (!OutputPathUsable(path)) {
            return Fail(env, kExitUsage,
                        QStringLiteral("Błąd w trakcie zapisu charakterystyki: %1").arg(path));
        }
    } else {
        if (!LoadCharRecFile(path, &rec)) {
            return Fail(env, kExitUsage,
                        QStringLiteral("Błąd w trakcie odczytu charakterystyki: %1").arg(path));
        }
        const QString message = CheckRecordForWrite(rec);
        if (!message.isEmpty()) return Fail(env, kExitUsage, message);
    }
    MeterSession s(env);
    if (int rc = s.Resolve(p); rc >= 0) return rc;
    if (int rc = s.Connect(false); rc >= 0) return rc;
    const int count = s.SlotCount(0);
    if (count < 0) return kExitMeter;
    if (n > count) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Charakterystyka nr %1 poza zakresem 1..%2").arg(n).arg(count));
    }
    if (reading) {
        if (!ReadSlot(s.Driver(), n - 1, &rec)) {
            return Fail(
                env, kExitMeter,
                QStringLiteral("Nie można odczytać ustawień (charakterystyka nr %1)").arg(n));
        }
        // A record file is written only from a record the editor would accept.
        const QString message = CheckRecordForWrite(rec);
        if (!message.isEmpty()) {
            return Fail(env, kExitMeter,
                        QStringLiteral("Charakterystyka nr %1: %2").arg(n).arg(JoinLines(message)));
        }
        if (!SaveCharRecFile(path, rec)) {
            return Fail(env, kExitUsage,
                        QStringLiteral("Błąd w trakcie zapisu charakterystyki: %1").arg(path));
        }
        env.Out(QStringLiteral("Odczytano charakterystykę nr %1 -> %2\n").arg(n).arg(path));
        return kExitOk;
    }
    rec.REC_NUMBER = static_cast<uint8_t>(n - 1);
    if (s.Driver().WriteCharacteristic(rec) != kMeterOk) {
        return Fail(env, kExitMeter,
                    QStringLiteral("Nie można zapisać ustawień (charakterystyka nr %1)").arg(n));
    }
    env.Out(QStringLiteral("Zapisano charakterystykę nr %1\n").arg(n));
    return kExitOk;
}

int CmdService(const CliEnv& env, const QStringList& args) {
    const QString sub = args.value(0);
    static const QStringList kSubs = {"date", "serial", "letter", "coefficient"};
    if (!kSubs.contains(sub)) {
        if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
            env.Out(
                QStringLiteral("Usage: kv60x-cli service date YYYY-MM --port P\n"
                               "       kv60x-cli service serial N --port P\n"
                               "       kv60x-cli service letter C --port P\n"
                               "       kv60x-cli service coefficient [X] --port P\n"));
            return kExitOk;
        }
        return Fail(
            env, kExitUsage,
            QStringLiteral(
                "kv60x-cli service: podaj date, serial, letter albo coefficient (zob. --help)"));
    }
    QCommandLineParser p;
    AddMeterOptions(p);
    int minPos = 1;
    if (sub == QLatin1String("date")) {
        p.setApplicationDescription(
            QStringLiteral("Writes the meter's startup date (year 2000..2099, month 1..12)."));
        p.addPositionalArgument(QStringLiteral("YYYY-MM"),
                                QStringLiteral("Startup year and month."));
    } else if (sub == QLatin1String("serial")) {
        p.setApplicationDescription(
            QStringLiteral("Writes the meter's serial number (1 or more)."));
        p.addPositionalArgument(QStringLiteral("N"), QStringLiteral("Serial number."));
    } else if (sub == QLatin1String("letter")) {
        p.setApplicationDescription(
            QStringLiteral("Writes the meter's version letter (panel type)."));
        p.addPositionalArgument(QStringLiteral("C"), QStringLiteral("One character."));
    } else {
        p.setApplicationDescription(QStringLiteral(
            "Writes the electrode shape coefficient and reads it back; without X only reads it."));
        p.addPositionalArgument(QStringLiteral("X"),
                                QStringLiteral("Coefficient; a comma is accepted as decimal sign."),
                                QStringLiteral("[X]"));
        minPos = 0;
    }
    if (int rc = Parse(env, p, QStringLiteral("service ") + sub, args.mid(1), minPos, 1); rc >= 0)
        return rc;
    const QString value = p.positionalArguments().value(0);

    int year = 0, month = 0, serial = 0;
    char letter = 0;
    double coefficient = 0;
    if (sub == QLatin1String("date")) {
        static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,6})-(\\d{1,3})\\s*$"));
        const auto m = re.match(value);
        if (!m.hasMatch())
            return Fail(env, kExitUsage, QStringLiteral("Podaj datę w postaci RRRR-MM"));
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        // The meter reports the year with two digits: a year past 2099 could be
        // written but never read back.
        if (year < 2000 || year > 2099)
            return Fail(env, kExitUsage, QStringLiteral("Podany rok poza dopuszczalnym zakresem"));
        if (month < 1 || month > 12)
            return Fail(env, kExitUsage,
                        QStringLiteral("Podany miesiąc poza dopuszczalnym zakresem"));
    } else if (sub == QLatin1String("serial")) {
        if (!ParseStrictInt(value, &serial) || serial < 1) {
            return Fail(env, kExitUsage, QStringLiteral("Podaj prawidłowy numer seryjny"));
        }
    } else if (sub == QLatin1String("letter")) {
        if (value.size() != 1 || value.at(0).unicode() < 0x21 || value.at(0).unicode() > 0x7E) {
            return Fail(env, kExitUsage,
                        QStringLiteral("Podaj jeden znak typu panelu (litera lub cyfra ASCII)"));
        }
        letter = value.at(0).toLatin1();
    } else if (!value.isEmpty() && !ParseStrictNumber(value, &coefficient)) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Podaj prawidłową wartość współczynnika: %1").arg(value));
    }

    MeterSession s(env);
    if (int rc = s.Resolve(p); rc >= 0) return rc;
    if (int rc = s.Connect(false); rc >= 0) return rc;
    Ckv60xDriver& d = s.Driver();
    if (sub == QLatin1String("date")) {
        if (d.WriteStartupDate(static_cast<uint16_t>(year), static_cast<uint8_t>(month)) !=
            kMeterOk) {
            return Fail(env, kExitMeter, QStringLiteral("Nie można zapisać daty uruchamiania"));
        }
        StartupDate date;
        d.GetStartupDate(date);
        env.Out(QString::asprintf("Data uruchamiania: %04d-%02d\n", date.year, date.month));
    } else if (sub == QLatin1String("serial")) {
        if (d.WriteSerialNumber(serial) != kMeterOk) {
            return Fail(env, kExitMeter, QStringLiteral("Nie można ustawić numeru seryjnego"));
        }
        SerialNumberData sn;
        d.GetSerialNumber(sn);
        env.Out(QStringLiteral("Numer seryjny: %1\n").arg(sn.serialNumber));
    } else if (sub == QLatin1String("letter")) {
        if (d.WriteVersionLetter(letter) != kMeterOk) {
            return Fail(env, kExitMeter, QStringLiteral("Nie można zapisać typu panelu"));
        }
        MeterIdentity id;
        d.GetIdentity(id);
        env.Out(QStringLiteral("Urządzenie: %1%2\n")
                    .arg(QString::fromLatin1(id.model))
                    .arg(QChar::fromLatin1(id.versionLetter)));
    } else {
        ElectrodeCoefficient k;
        if (!value.isEmpty()) {
            // The driver skips a value equal to the one it last read: read first.
            d.ReadElectrodeCoefficient(k);
            if (d.WriteElectrodeCoefficient(coefficient) != kMeterOk) {
                return Fail(env, kExitMeter, QStringLiteral("Nie można zapisać ustawień"));
            }
        }
        if (d.ReadElectrodeCoefficient(k) != kMeterOk || !k.valid) {
            return Fail(env, kExitMeter, QStringLiteral("Nie można odczytać ustawień"));
        }
        env.Out(QString::asprintf("Współczynnik kształtu elektrod: %0.8f\n", k.coefficient));
    }
    return kExitOk;
}

// ---- record files -------------------------------------------------------------

enum class FileKind { Unknown, Kvr, Kvz, Json, Csv, Text };

FileKind KindOf(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("kvr")) return FileKind::Kvr;
    if (ext == QLatin1String("kvz")) return FileKind::Kvz;
    if (ext == QLatin1String("json")) return FileKind::Json;
    if (ext == QLatin1String("csv")) return FileKind::Csv;
    if (ext == QLatin1String("txt")) return FileKind::Text;
    return FileKind::Unknown;
}

// A loaded record or set; exit code -1 when loaded, otherwise shown.
struct Loaded {
    bool isSet = false;
    CharRecData rec;
    std::unique_ptr<CTableCharRec> set = std::make_unique<CTableCharRec>();
};

int LoadAny(const CliEnv& env, const QString& path, Loaded* out) {
    switch (KindOf(path)) {
        case FileKind::Kvr:
            if (!LoadCharRecFile(path, &out->rec)) {
                return Fail(env, kExitUsage,
                            QStringLiteral("Błąd w trakcie odczytu charakterystyki: %1").arg(path));
            }
            return -1;
        case FileKind::Kvz:
            out->isSet = true;
            if (!LoadCharRecSetFile(path, out->set.get())) {
                return Fail(env, kExitUsage,
                            QStringLiteral("Błąd w trakcie odczytu charakterystyk: %1").arg(path));
            }
            return -1;
        case FileKind::Json: {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) {
                return Fail(env, kExitUsage,
                            QStringLiteral("Nie można otworzyć pliku: %1").arg(path));
            }
            QString error;
            const JsonFileKind kind =
                ParseRecordJson(f.readAll(), &out->rec, out->set.get(), &error);
            if (kind == JsonFileKind::Invalid) {
                return Fail(env, kExitUsage,
                            QStringLiteral("Błędny plik JSON %1: %2").arg(path, error));
            }
            out->isSet = kind == JsonFileKind::RecordSet;
            return -1;
        }
        default:
            return Fail(
                env, kExitUsage,
                QStringLiteral("Nieznany rodzaj pliku: %1 (.kvr, .kvz lub .json)").arg(path));
    }
}

int CmdShow(const CliEnv& env, const QStringList& args) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Shows a record file (.kvr) or record set file (.kvz) as text, JSON or CSV."));
    const QCommandLineOption json(
        QStringLiteral("json"), QStringLiteral("Print JSON (every field; convert reads it back)."));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Print CSV, one row per record."));
    p.addOptions({json, csv});
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral(".kvr, .kvz or .json file."));
    if (int rc = Parse(env, p, QStringLiteral("show"), args, 1, 1); rc >= 0) return rc;
    if (p.isSet(json) && p.isSet(csv))
        return Fail(env, kExitUsage, QStringLiteral("Opcje --json i --csv wykluczają się"));
    Loaded in;
    if (int rc = LoadAny(env, p.positionalArguments().at(0), &in); rc >= 0) return rc;
    if (p.isSet(json)) {
        if (env.out) env.out(in.isSet ? RecordSetToJson(*in.set) : RecordToJson(in.rec));
    } else if (p.isSet(csv)) {
        if (env.out) env.out(in.isSet ? RecordSetToCsv(*in.set) : RecordToCsv(in.rec));
    } else {
        env.Out(in.isSet ? RecordSetToText(*in.set) : RecordToText(in.rec));
    }
    return kExitOk;
}

int CmdConvert(const CliEnv& env, const QStringList& args) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Converts between record files and readable forms, chosen by the file names' extensions: "
        ".kvr/.kvz/.json in, .json/.csv/.txt/.kvr/.kvz out. A record file written from JSON must "
        "pass "
        "the editor's validation."));
    p.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("Input file."));
    p.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("Output file."));
    if (int rc = Parse(env, p, QStringLiteral("convert"), args, 2, 2); rc >= 0) return rc;
    const QString inPath = p.positionalArguments().at(0);
    const QString outPath = p.positionalArguments().at(1);
    const FileKind outKind = KindOf(outPath);
    if (outKind == FileKind::Unknown) {
        return Fail(env, kExitUsage,
                    QStringLiteral("Nieznany rodzaj pliku: %1 (.kvr, .kvz, .json, .csv lub .txt)")
                        .arg(outPath));
    }
    Loaded in;
    if (int rc = LoadAny(env, inPath, &in); rc >= 0) return rc;
    if ((outKind == FileKind::Kvr && in.isSet) || (outKind == FileKind::Kvz && !in.isSet)) {
        return Fail(
            env, kExitUsage,
            in.isSet
                ? QStringLiteral(
                      "Plik %1 zawiera zbiór charakterystyk, a plik .kvr jedną charakterystykę")
                      .arg(inPath)
                : QStringLiteral(
                      "Plik %1 zawiera jedną charakterystykę, a plik .kvz zbiór charakterystyk")
                      .arg(inPath));
    }
    bool ok = false;
    switch (outKind) {
        case FileKind::Kvr: {
            if (!in.rec.valid) {
                return Fail(
                    env, kExitUsage,
                    QStringLiteral(
                        "Rekord oznaczony jako pusty (valid = 0) nie może trafić do pliku .kvr"));
            }
            const QString message = CheckRecordForWrite(in.rec);
            if (!message.isEmpty()) return Fail(env, kExitUsage, message);
            ok = SaveCharRecFile(outPath, in.rec);
            break;
        }
        case FileKind::Kvz:
            for (int i = 0; i < in.set->Count(); ++i) {
                const CharRecData rec = in.set->Get(i);
                if (!rec.valid || IsBlankRecord(rec)) continue;
                const QString message = CheckRecordForWrite(rec);
                if (!message.isEmpty()) {
                    return Fail(env, kExitUsage,
                                QStringLiteral("Charakterystyka nr %1: %2")
                                    .arg(i + 1)
                                    .arg(JoinLines(message)));
                }
            }
            ok = SaveCharRecSetFile(outPath, *in.set);
            break;
        case FileKind::Json:
            ok = WriteTextFile(outPath, in.isSet ? RecordSetToJson(*in.set) : RecordToJson(in.rec));
            break;
        case FileKind::Csv:
            ok = WriteTextFile(outPath, in.isSet ? RecordSetToCsv(*in.set) : RecordToCsv(in.rec));
            break;
        default:
            ok = WriteTextFile(
                outPath, (in.isSet ? RecordSetToText(*in.set) : RecordToText(in.rec)).toUtf8());
            break;
    }
    if (!ok) {
        return Fail(env, kExitUsage, QStringLiteral("Nie można zapisać pliku: %1").arg(outPath));
    }
    return kExitOk;
}

QString Usage() {
    return QStringLiteral(
        "Usage: kv60x-cli COMMAND [options]   (kv60x-cli COMMAND --help for each)\n"
        "\n"
        "KV-60x moisture meters from the command line.\n"
        "\n"
        "Commands:\n"
        "  ports                                   serial ports with COM numbers\n"
        "  info --port P [--json]                  identity, serial number, startup date, "
        "condition,\n"
        "                                          temperature, slot count\n"
        "  watch --port P [--count N]              one line per polling cycle until Ctrl+C\n"
        "  log --port P --interval S --out FILE    registration to a text/CSV file until Ctrl+C\n"
        "  table read --port P --out FILE.kvz      every characteristic into a record set file\n"
        "  table write --port P FILE.kvz [--slots 1,3-5]\n"
        "  record read|write --port P --slot N FILE.kvr\n"
        "  show FILE [--json|--csv]                a .kvr/.kvz/.json file, readable\n"
        "  convert IN OUT                          between .kvr/.kvz/.json and "
        ".json/.csv/.txt/.kvr/.kvz\n"
        "  service date YYYY-MM|serial N|letter C|coefficient [X] --port P\n"
        "\n"
        "P is a COM number, COMn or a device path; --demo uses a built-in simulated meter.\n"
        "Exit codes: 0 success, 1 a meter operation failed, 2 bad arguments or bad input file.\n");
}

}  // namespace

int RunCli(const QStringList& args, const CliEnv& env) {
    if (args.isEmpty()) {
        return Fail(env, kExitUsage, QStringLiteral("Podaj polecenie (zob. kv60x-cli --help)"));
    }
    const QString command = args.at(0);
    const QStringList rest = args.mid(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        env.Out(Usage());
        return kExitOk;
    }
    if (command == QLatin1String("--version")) {
        env.Out(QStringLiteral("kv60x-cli %1\n").arg(QStringLiteral(KV60X_VERSION)));
        return kExitOk;
    }
    if (command == QLatin1String("ports")) return CmdPorts(env, rest);
    if (command == QLatin1String("info")) return CmdInfo(env, rest);
    if (command == QLatin1String("watch")) return CmdWatch(env, rest);
    if (command == QLatin1String("log")) return CmdLog(env, rest);
    if (command == QLatin1String("table")) return CmdTable(env, rest);
    if (command == QLatin1String("record")) return CmdRecord(env, rest);
    if (command == QLatin1String("service")) return CmdService(env, rest);
    if (command == QLatin1String("show")) return CmdShow(env, rest);
    if (command == QLatin1String("convert")) return CmdConvert(env, rest);
    return Fail(env, kExitUsage,
                QStringLiteral("Nieznane polecenie: %1 (zob. kv60x-cli --help)").arg(command));
}
