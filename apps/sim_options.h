#pragma once

#include <QCommandLineParser>

#include "sim/meter_simulator.h"

// Command-line options describing a simulated meter, shared by the programs
// that can run one (kv60x-sim, --demo).
void AddSimulatorOptions(QCommandLineParser& parser);
// Reads the options into a state and fault set; false with a message on bad values.
bool ReadSimulatorOptions(const QCommandLineParser& parser, SimMeterState& state, SimFaults& faults,
                          int& demoSlots, QString& error);
