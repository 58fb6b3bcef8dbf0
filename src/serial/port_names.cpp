#include "serial/port_names.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>
#include <map>
#include <mutex>

namespace {

std::mutex g_registryLock;            // guards g_registered
std::map<int, QString> g_registered;  // COM number -> device path

int NumberAfter(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix)) return -1;
    const QString rest = name.mid(prefix.size());
    if (rest.isEmpty()) return -1;
    bool ok = false;
    const int n = rest.toInt(&ok);
    if (!ok || n < 0 || rest.startsWith('+') || rest.startsWith('-')) return -1;
    return n;
}

std::vector<ListedDevice> SystemDevices() {
    std::vector<ListedDevice> out;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        out.push_back({info.systemLocation(), info.description()});
    }
    return out;
}

std::map<int, QString> RegisteredCopy() {
    std::lock_guard<std::mutex> lock(g_registryLock);
    return g_registered;
}

}  // namespace

std::vector<PortEntry> NumberDevices(const std::vector<ListedDevice>& listed,
                                     const std::map<int, QString>& registered) {
    std::vector<ListedDevice> devices = listed;
    std::sort(devices.begin(), devices.end(),
              [](const ListedDevice& a, const ListedDevice& b) { return a.device < b.device; });
    std::map<int, PortEntry> byNumber;
    for (const auto& [n, dev] : registered) byNumber[n] = PortEntry{n, QString(), dev};

    std::vector<const ListedDevice*> others;
    for (const ListedDevice& d : devices) {
        bool alreadyRegistered = false;
        for (const auto& [n, dev] : registered) alreadyRegistered |= (dev == d.device);
        if (alreadyRegistered) continue;
        const int fixed = FixedComNumber(d.device);
        if (fixed > 0) {
            if (!byNumber.count(fixed)) byNumber[fixed] = PortEntry{fixed, d.description, d.device};
        } else {
            others.push_back(&d);
        }
    }
    int next = 97;
    for (const ListedDevice* d : others) {
        while (next < 256 && byNumber.count(next)) ++next;
        if (next >= 256) break;
        byNumber[next] = PortEntry{next, d->description, d->device};
    }
    std::vector<PortEntry> out;
    for (auto& [n, e] : byNumber) out.push_back(e);
    return out;
}

int FixedComNumber(const QString& devicePath) {
    const QString name = QFileInfo(devicePath).fileName();
    if (!devicePath.startsWith(QStringLiteral("/dev/"))) return 0;
    int n = NumberAfter(name, QStringLiteral("ttyUSB"));
    if (n >= 0 && n < 32) return 33 + n;
    n = NumberAfter(name, QStringLiteral("ttyACM"));
    if (n >= 0 && n < 32) return 65 + n;
    n = NumberAfter(name, QStringLiteral("ttyS"));
    if (n >= 0 && n < 32) return n + 1;
    return 0;
}

std::vector<PortEntry> ListPortEntries() {
    return NumberDevices(SystemDevices(), RegisteredCopy());
}

bool ListPorts(QString& text) {
    text.clear();
    for (const PortEntry& e : ListPortEntries()) {
        QString desc = e.description;
        // "USB Serial Port (COM7)" names the number twice.
        const QString suffix = QStringLiteral(" (COM%1)").arg(e.number);
        if (desc.endsWith(suffix)) desc.chop(suffix.size());
        desc = desc.isEmpty() ? e.device : desc + QStringLiteral(" \u2013 ") + e.device;
        if (desc.isEmpty()) {
            text += QStringLiteral("COM%1\n").arg(e.number);
        } else {
            text += QStringLiteral("COM%1:%2\n").arg(e.number).arg(desc);
        }
    }
    return true;
}

QStringList PortListEntries(const QString& listText) {
    QStringList entries;
    for (const QString& line : listText.split('\n', Qt::SkipEmptyParts)) {
        const int colon = line.indexOf(':');
        if (colon < 0) {
            entries << line;
        } else {
            entries << line.left(colon) + QStringLiteral(" (") + line.mid(colon + 1) +
                           QStringLiteral(")");
        }
    }
    return entries;
}

QString DeviceForPort(int number) {
    if (number <= 0 || number > 255) return QString();
    {
        std::lock_guard<std::mutex> lock(g_registryLock);
        auto it = g_registered.find(number);
        if (it != g_registered.end()) return it->second;
    }
    if (number <= 32) return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    if (number <= 64) return QStringLiteral("/dev/ttyUSB%1").arg(number - 33);
    if (number <= 96) return QStringLiteral("/dev/ttyACM%1").arg(number - 65);
    for (const PortEntry& e : ListPortEntries()) {
        if (e.number == number) return e.device;
    }
    return QString();
}

int PortForDevice(const QString& devicePath) {
    if (devicePath.isEmpty()) return 0;
    {
        std::lock_guard<std::mutex> lock(g_registryLock);
        for (const auto& [n, dev] : g_registered) {
            if (dev == devicePath) return n;
        }
    }
    const int fixed = FixedComNumber(devicePath);
    if (fixed > 0) return fixed;
    const std::vector<PortEntry> entries = ListPortEntries();
    for (const PortEntry& e : entries) {
        if (e.device == devicePath) return e.number;
    }
    std::lock_guard<std::mutex> lock(g_registryLock);
    for (int n = 97; n < 256; ++n) {
        const bool used =
            g_registered.count(n) || std::any_of(entries.begin(), entries.end(),
                                                 [n](const PortEntry& e) { return e.number == n; });
        if (!used) {
            g_registered[n] = devicePath;
            return n;
        }
    }
    return 0;
}

void RegisterPortDevice(int number, const QString& devicePath) {
    std::lock_guard<std::mutex> lock(g_registryLock);
    if (devicePath.isEmpty()) {
        g_registered.erase(number);
    } else {
        g_registered[number] = devicePath;
    }
}

int ParsePortNumber(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*(?:COM)?(\\d+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return 0;
    bool ok = false;
    const int n = m.captured(1).left(4).toInt(&ok);
    return ok ? n : 0;
}

int ResolvePortArgument(const QString& arg, QString* error) {
    const QString text = arg.trimmed();
    if (text.startsWith(QLatin1Char('/'))) {
        const int number = PortForDevice(text);
        if (number == 0 && error) {  // every number from 97 up is taken
            *error = QStringLiteral("Brak wolnego numeru COM dla urządzenia %1").arg(text);
        }
        return number;
    }
    static const QRegularExpression com(QStringLiteral("^(?:COM)?(\\d{1,3})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(text);
    const int number = m.hasMatch() ? m.captured(1).toInt() : 0;
    if (number >= 1 && number <= 255) return number;
    if (error) {
        *error =
            QStringLiteral("Nieprawidłowy port: %1 (podaj COMn, numer COM lub ścieżkę urządzenia)")
                .arg(text);
    }
    return 0;
}
