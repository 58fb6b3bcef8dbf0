#include "session/registration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLocale>
#include <cerrno>
#include <cstdio>

#include "files/byte_text.h"

QString RegistrationHeader(QChar separator) {
    return QStringLiteral("Data i Godzina") + separator + QStringLiteral("Temperatura °C\r\n");
}

QChar LocaleDecimalSign() {
    const QString d = QLocale::system().decimalPoint();
    return d.isEmpty() ? QChar('.') : d.at(0);
}

QChar LocaleListSeparator() {
    return LocaleDecimalSign() == QChar(',') ? QChar(';') : QChar(',');
}

QChar RegistrationSeparator(int sepFormat) {
    switch (sepFormat) {
        case 1:
            return QChar('\t');
        case 2:
            return QChar(',');
        case 3:
            return QChar(';');
        default:
            return LocaleListSeparator();
    }
}

QChar RegistrationDecimalSign(int decSeparator) {
    switch (decSeparator) {
        case 1:
            return QChar(',');
        case 2:
            return QChar('.');
        default:
            return LocaleDecimalSign();
    }
}

QString RegistrationDateTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char buf[256];
    const size_t n = std::strftime(buf, sizeof buf, "%c", &local);
    return QString::fromLocal8Bit(buf, static_cast<qsizetype>(n));
}

QString RegistrationDateField(const QString& dateTime, QChar separator) {
    if (!dateTime.contains(separator) && !dateTime.contains(QChar('"')) &&
        !dateTime.contains(QChar('\r')) && !dateTime.contains(QChar('\n'))) {
        return dateTime;
    }
    QString quoted = dateTime;
    quoted.replace(QChar('"'), QStringLiteral("\"\""));
    return QChar('"') + quoted + QChar('"');
}

QString RegistrationValue(const TemperatureReading& reading, bool linkUp, QChar decimalSign) {
    if (!linkUp || !reading.valid || reading.temperatureError) return QStringLiteral("???");
    QString text = QString::asprintf("%.01f", reading.temperature);
    text.replace(QChar('.'), decimalSign);
    return text;
}

RegistrationFile::~RegistrationFile() {
    Close();
}

RegistrationFile::OpenResult RegistrationFile::Open(const QString& path) {
    Close();
    if (path.isEmpty()) return OpenResult::Failed;
    const QByteArray name = NativePath(path);
    struct stat st {};
    const bool existed = ::stat(name.constData(), &st) == 0;
    if (existed && !S_ISREG(st.st_mode)) return OpenResult::Failed;
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return OpenResult::Failed;
    m_fd = fd;
    m_path = path;
    m_failing = false;
    m_headerPending = true;
    m_lastHeader.clear();
    return existed ? OpenResult::Existed : OpenResult::Created;
}

void RegistrationFile::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_path.clear();
    m_failing = false;
}

bool RegistrationFile::Truncate() {
    const bool ok = EnsureSameFile() && ::ftruncate(m_fd, 0) == 0;
    m_failing = !ok;
    return ok;
}

bool RegistrationFile::EnsureSameFile() {
    // A file removed, replaced or whose folder vanished while we hold it open
    // would swallow every line unseen: write to the path again instead.
    const QByteArray name = NativePath(m_path);
    struct stat onDisk {};
    struct stat held {};
    if (m_fd >= 0 && ::fstat(m_fd, &held) == 0 && ::stat(name.constData(), &onDisk) == 0 &&
        onDisk.st_dev == held.st_dev && onDisk.st_ino == held.st_ino) {
        return true;
    }
    if (m_fd >= 0) ::close(m_fd);
    m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) return false;
    // A fresh file gets its column titles again.
    m_headerPending = true;
    m_lastHeader.clear();
    return true;
}

bool RegistrationFile::WriteWhole(const QByteArray& bytes) {
    if (!EnsureSameFile()) return false;
    const off_t before = ::lseek(m_fd, 0, SEEK_END);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Take back a part that did get out, so the file ends in a whole line.
            if (before >= 0 && done > 0) {
                [[maybe_unused]] int r = ::ftruncate(m_fd, before);
            }
            return false;
        }
        done += n;
    }
    return ::fsync(m_fd) == 0 || errno == EINVAL;  // EINVAL: a file that cannot be synced
}

bool RegistrationFile::WriteText(const QString& text) {
    if (m_path.isEmpty()) return false;
    const bool ok = WriteWhole(text.toLocal8Bit());
    m_failing = !ok;
    return ok;
}

bool RegistrationFile::WriteLine(const QString& dateTime, QChar separator, const QString& value) {
    if (m_path.isEmpty()) return false;
    // Reopening may ask for the header again, so that decision comes first.
    const bool sameFile = EnsureSameFile();
    const QString candidate = m_headerPending ? RegistrationHeader(separator) : QString();
    QString header;
    if (candidate != m_lastHeader) header = candidate;
    const QString line = header + RegistrationDateField(dateTime, separator) + separator + value +
                         QStringLiteral("\r\n");
    const bool ok = sameFile && WriteWhole(line.toLocal8Bit());
    if (ok) {
        m_headerPending = false;
        m_lastHeader = candidate;
    }
    m_failing = !ok;
    return ok;
}
