#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <ctime>

#include "meter/meter_records.h"

// Registration of readings to a text or CSV file: the line format and the file
// itself. RegistrationSession (registration_session.h) puts them together for
// the main window and kv60x-cli.

// The column titles line (CR LF included).
QString RegistrationHeader(QChar separator);

// Column separator: 1 tab, 2 ",", 3 ";", anything else the locale's list
// separator (see LocaleListSeparator).
QChar RegistrationSeparator(int sepFormat);
// Decimal sign: 1 ",", 2 ".", anything else the locale's decimal sign.
QChar RegistrationDecimalSign(int decSeparator);

// The user's decimal sign (first character of it).
QChar LocaleDecimalSign();
// The user's list separator. This platform's locales have none: ";" where the
// decimal sign is ",", otherwise "," (what spreadsheet programs expect).
QChar LocaleListSeparator();

// "%c" of the C library under the current LC_TIME locale, decoded from the
// locale's encoding.
QString RegistrationDateTime(std::time_t when);

// The date column as written: the text as it stands, or, when it holds the
// column separator, a double quote or a line break (the Polish "%c" holds
// commas), enclosed in double quotes with inner quotes doubled, as CSV
// readers expect, so the line still has two columns.
QString RegistrationDateField(const QString& dateTime, QChar separator);

// The value column: "%.01f" with the decimal sign, or "???" when the meter
// flags a temperature error, the link is down or no reading was ever valid
// (a log never shows a stale number as a fresh reading).
QString RegistrationValue(const TemperatureReading& reading, bool linkUp, QChar decimalSign);

// The open registration file. Every line goes out in one piece, is flushed and
// synced; a line that cannot be written whole is taken back, so the file never
// ends in half a line. A file removed (or its folder) while registering is
// created again at the next line. The path is the name's bytes on disk as
// NativePath gives them, so a name from the configuration that is not UTF-8
// (code page 1250 written by another program) opens the very same file.
class RegistrationFile {
public:
    enum class OpenResult { Failed, Created, Existed };

    RegistrationFile() = default;
    ~RegistrationFile();
    RegistrationFile(const RegistrationFile&) = delete;
    RegistrationFile& operator=(const RegistrationFile&) = delete;

    // Opens path for appending, creating it when missing.
    OpenResult Open(const QString& path);
    // Ends registration to this file; nothing is written until the next Open.
    void Close();
    // In use (opened and not closed), also while its descriptor is lost because
    // the file or its folder went away.
    bool IsOpen() const { return !m_path.isEmpty(); }
    QString Path() const { return m_path; }

    // Empties the file (the user chose to start it afresh). False on failure.
    bool Truncate();
    // The next line starts with the column titles.
    void SetHeaderPending() { m_headerPending = true; }

    // Writes text as it stands (the empty line and the comment). False on failure.
    bool WriteText(const QString& text);
    // Writes one reading line: [header] + date field + separator + value + CR LF
    // (see RegistrationDateField).
    bool WriteLine(const QString& dateTime, QChar separator, const QString& value);

    // The last write failed (and nothing has succeeded since).
    bool Failing() const { return m_failing; }

private:
    bool EnsureSameFile();
    bool WriteWhole(const QByteArray& bytes);

    int m_fd = -1;
    QString m_path;
    bool m_headerPending = true;
    QString m_lastHeader;
    bool m_failing = false;
};

// The status line's piece while writing fails.
inline QString RegistrationWriteErrorText() {
    return QStringLiteral(" Błąd zapisu do pliku rejestracji.");
}
