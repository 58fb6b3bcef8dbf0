#pragma once

#include <QStringList>

#include "meter/meter_records.h"

// The meter's faults as every view words them, in the order the status line
// gives them ("Błąd danych uruchamiania", "Błąd pamięci uruchamiania",
// "Niskie napięcie zasilania", "Błąd pomiaru temperatury"); each view adds its
// own punctuation. A record that is not valid says nothing.
QStringList MeterFaults(const MeterCondition& condition, const TemperatureReading& temperature);
