#pragma once

#include <QString>
#include <optional>

#include "cli/cli.h"
#include "session/meter_write.h"

// The values of the service commands as typed, checked by the limits and with
// the messages of the service dialogs before the port is opened (service
// date|serial|letter|coefficient, commission).
namespace cli {

// A checked value and the write it makes.
struct ServiceValue {
    QString text;  // as given; empty when left out (coefficient only)
    std::optional<MeterWrite> write;
};

// Each returns -1 when the value may go to the meter (its write set),
// otherwise the exit code (message shown). An empty coefficient is only read.
int CheckDateValue(const CliEnv& env, ServiceValue* v);
int CheckSerialValue(const CliEnv& env, ServiceValue* v);
int CheckLetterValue(const CliEnv& env, ServiceValue* v);
int CheckCoefficientValue(const CliEnv& env, ServiceValue* v);

}  // namespace cli
