#include "session/service_limits.h"

#include "records/cp1250.h"

QString CheckStartupDate(int year, int month, StartupDateField* wrong) {
    StartupDateField field = StartupDateField::None;
    QString message;
    if (year < kMinStartupYear || year > kMaxStartupYear) {
        field = StartupDateField::Year;
        message = QStringLiteral("Podany rok poza dopuszczalnym zakresem");
    } else if (month < kMinStartupMonth || month > kMaxStartupMonth) {
        field = StartupDateField::Month;
        message = QStringLiteral("Podany miesiąc poza dopuszczalnym zakresem");
    }
    if (wrong) *wrong = field;
    return message;
}

QString CheckSerialNumber(int serialNumber) {
    if (serialNumber < kMinSerialNumber) return QStringLiteral("Podaj prawidłowy numer seryjny");
    return QString();
}

char VersionLetterFor(const QString& text) {
    const QByteArray bytes = UnicodeToCp1250(text);
    return bytes.isEmpty() ? ' ' : bytes.at(0);
}

QString CheckVersionLetter(char letter) {
    const auto byte = static_cast<unsigned char>(letter);
    if (byte >= 0x20 && byte != 0x7F) return QString();
    return QStringLiteral("Nieprawidłowy znak typu panelu (kod %1).").arg(byte);
}
