#pragma once

#include <memory>

#include "sim/meter_simulator.h"

// The demo meter that `kv60x --demo`, `kv60x-cli --demo` and
// `kv60x-monitor --demo` run inside the program, so that every function can be
// tried without hardware.

// The COM number the demo meter appears under.
constexpr int kDemoPort = 250;
// How many sample characteristics its memory holds (the slot count it reports).
constexpr int kDemoSlots = 20;

// The demo meter's identity and readings: the default meter at 21.5 °C with a
// slow drift of ±1.5 °C over three minutes, kDemoSlots slots.
SimMeterState DemoMeterState();

// Starts the demo meter on a pseudo-terminal, fills its memory with the sample
// characteristics and registers it as COM kDemoPort. Null when no
// pseudo-terminal can be had.
std::unique_ptr<MeterSimulator> StartDemoMeter();

// Removes the COM kDemoPort registration and stops the demo meter; demo is null
// afterwards. Nothing happens when it is null already.
void StopDemoMeter(std::unique_ptr<MeterSimulator>& demo);
