#include "session/meter_texts.h"

QStringList MeterFaults(const MeterCondition& c, const TemperatureReading& t) {
    QStringList out;
    if (c.valid && c.startupDataError) out << QStringLiteral("Błąd danych uruchamiania");
    if (c.valid && c.startupMemoryError) out << QStringLiteral("Błąd pamięci uruchamiania");
    if (c.valid && c.lowSupplyVoltage) out << QStringLiteral("Niskie napięcie zasilania");
    if (t.valid && t.temperatureError) out << QStringLiteral("Błąd pomiaru temperatury");
    return out;
}
