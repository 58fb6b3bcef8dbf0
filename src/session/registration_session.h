#pragma once

#include <QChar>
#include <QString>
#include <ctime>

#include "meter/meter_records.h"
#include "session/registration.h"

// How registration starts on a file just opened.
enum class RegistrationStart {
    NewFile,  // the file did not exist
    Append,   // it existed: go on at its end
    Empty,    // it existed: start it afresh
};

// One registration of readings to a text or CSV file, as the main window and
// `kv60x-cli log` both run it:
//
//   Open (nothing written yet) -> [the caller asks append or empty]
//   -> Begin (emptying, empty line, comment, column titles pending)
//   -> WriteReading per interval -> Close
//
// Opening writes nothing, so a caller whose question about an existing file
// gets no answer can Close() and leave the file exactly as it was. Every line
// goes out whole, flushed and synced; a failed write keeps the session going
// (Failing() says so) and a later line that gets through clears it.
class RegistrationSession {
public:
    using OpenResult = RegistrationFile::OpenResult;

    // Opens path for appending, creating it when missing. Closes a file
    // already open first.
    OpenResult Open(const QString& path);
    // Starts registering to the opened file. Empty truncates it. With
    // withComment, an empty line when appending, then the comment (its lines
    // ended with CR LF, an empty comment writes nothing). The next line starts
    // with the column titles. False when emptying or writing failed.
    bool Begin(RegistrationStart start, bool withComment, const QString& comment);
    // Ends registration to this file.
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    QString Path() const { return m_file.Path(); }

    // FILE_SEP_FORMAT and FILE_DEC_SEPARATOR of the lines written from now on.
    void SetFormat(int sepFormat, int decSeparator);
    QChar Separator() const { return m_separator; }
    QChar DecimalSign() const { return m_decimal; }

    // One data line: the local date and time of `when` ("%c"), the separator
    // and the temperature of the snapshot, "???" unless the link is up and the
    // reading valid and free of the meter's error flag.
    bool WriteReading(const MeterSnapshot& meter, std::time_t when);
    // The same with the date text given (the line format, for tests).
    bool WriteLine(const QString& dateTime, const QString& value);

    // The last data line written or tried, as it stands in the file without
    // the column titles and CR LF.
    QString LastLine() const { return m_lastLine; }
    // The last write failed and nothing has got through since.
    bool Failing() const { return m_file.IsOpen() && m_file.Failing(); }

private:
    RegistrationFile m_file;
    QChar m_separator = RegistrationSeparator(0);
    QChar m_decimal = RegistrationDecimalSign(0);
    QString m_lastLine;
};
