#include "session/registration_session.h"

RegistrationSession::OpenResult RegistrationSession::Open(const QString& path) {
    m_lastLine.clear();
    return m_file.Open(path);
}

bool RegistrationSession::Begin(RegistrationStart start, bool withComment, const QString& comment) {
    if (!m_file.IsOpen()) return false;
    bool ok = true;
    if (start == RegistrationStart::Empty) ok = m_file.Truncate();
    m_file.SetHeaderPending();
    if (!ok || !withComment) return ok;
    QString text;
    if (start == RegistrationStart::Append) text = QStringLiteral("\r\n");
    if (!comment.isEmpty()) {
        // Whatever line ends the comment box gave, the file gets CR LF.
        QString lines = comment;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        lines.replace(QChar('\r'), QChar('\n'));
        lines.replace(QChar('\n'), QStringLiteral("\r\n"));
        text += lines + QStringLiteral("\r\n");
    }
    return text.isEmpty() || m_file.WriteText(text);
}

void RegistrationSession::Close() {
    m_file.Close();
}

void RegistrationSession::SetFormat(int sepFormat, int decSeparator) {
    m_separator = RegistrationSeparator(sepFormat);
    m_decimal = RegistrationDecimalSign(decSeparator);
}

bool RegistrationSession::WriteReading(const MeterSnapshot& meter, std::time_t when) {
    return WriteLine(RegistrationDateTime(when),
                     RegistrationValue(meter.temperature, meter.linkUp(), m_decimal));
}

bool RegistrationSession::WriteLine(const QString& dateTime, const QString& value) {
    m_lastLine = RegistrationDateField(dateTime, m_separator) + m_separator + value;
    return m_file.WriteLine(dateTime, m_separator, value);
}
