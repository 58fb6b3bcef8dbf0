#include "meter/char_read.h"

QString CharReadFailureText(const CharReadReport& report) {
    switch (report.fault) {
        case CharReadReport::Fault::WrongSlot:
            return QStringLiteral(
                       "Nie można odczytać charakterystyki nr %1 - miernik odesłał "
                       "charakterystykę nr %2")
                .arg(report.slot + 1)
                .arg(report.answeredSlot + 1);
        case CharReadReport::Fault::BadChecksum:
            return QStringLiteral(
                       "Nie można odczytać charakterystyki nr %1 - błędna suma kontrolna "
                       "(odebrana %2, obliczona %3)")
                .arg(report.slot + 1)
                .arg(QString::asprintf("%02X", report.receivedChecksum),
                     QString::asprintf("%02X", report.expectedChecksum));
        case CharReadReport::Fault::None:
        case CharReadReport::Fault::NoAnswer:
            break;
    }
    return QStringLiteral("Nie można odczytać ustawień");
}
