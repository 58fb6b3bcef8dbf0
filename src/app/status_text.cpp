#include "app/status_text.h"

#include "session/meter_texts.h"

#include <cstring>

#include "session/registration.h"

namespace {

// Fixed-length texts from the meter: up to the first NUL.
QString MeterText(const char* text, size_t size) {
    const size_t n = strnlen(text, size);
    return QString::fromLatin1(text, static_cast<int>(n));
}

}  // namespace

QString RegistrationPiece(int interval) {
    return QString::asprintf(" Rejestracja do pliku co %02d:%02d:%02d. ", interval / 3600,
                             (interval % 3600) / 60, interval % 60);
}

StatusLine ComposeStatusLine(const StatusInputs& in) {
    StatusLine out;
    if (!in.connected) {
        out.text = QStringLiteral("Brak komunikacji z urządzeniem. ");
        out.icon = StatusIcon::Error;
    } else {
        if (in.serialNumber.valid && in.identity.valid) {
            // A missing version letter is left out rather than put in as a NUL.
            QString letter;
            if (in.identity.versionLetter != 0) {
                letter = QString(QChar::fromLatin1(in.identity.versionLetter));
            }
            out.text = MeterText(in.identity.model, sizeof in.identity.model) + letter +
                       QStringLiteral(" nr %1. ").arg(in.serialNumber.serialNumber);
        } else {
            out.text = QStringLiteral("Brak danych o urządzeniu");
        }
        const QStringList faults = MeterFaults(in.condition, in.temperature);
        for (const QString& f : faults) out.text += QLatin1Char(' ') + f + QLatin1Char('.');
        const bool fault = !faults.isEmpty();
        out.icon = fault ? StatusIcon::Warning : StatusIcon::Information;
        if (in.serviceData.valid) {
            out.serviceText = MeterText(in.serviceData.text, sizeof in.serviceData.text);
        }
    }
    if (in.registrationRunning) out.text += RegistrationPiece(in.fileInterval);
    if (in.registrationFailing) out.text += RegistrationWriteErrorText();
    return out;
}

DisplayState ComposeDisplayState(bool connected, const MeterCondition& condition,
                                 const TemperatureReading& temperature) {
    DisplayState d;
    if (connected && temperature.valid) {
        d.hasValue = true;
        d.value = temperature.temperature;
        if (condition.valid) {
            d.blink = temperature.temperatureError || condition.lowSupplyVoltage;
        } else {
            d.blink = temperature.temperatureError;
        }
    } else {
        d.hasValue = false;
        d.blink = true;
    }
    return d;
}

StatusInputs StatusInputsOf(const MeterSnapshot& m, bool connected) {
    StatusInputs in;
    in.connected = connected;
    in.identity = m.identity;
    in.serialNumber = m.serialNumber;
    in.condition = m.condition;
    in.temperature = m.temperature;
    in.serviceData = m.serviceData;
    return in;
}
