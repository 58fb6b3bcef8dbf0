#pragma once

#include <cstdint>

// Result codes of every meter operation.
constexpr int kMeterOk = 0;
constexpr int kMeterFailed = 3;

// The driver's decoded meter state. Each record ends in a `valid` flag set when
// an answer of its kind has been decoded; callers always receive copies.

struct MeterCondition {
    bool startupMemoryError = false;
    bool startupDataError = false;
    bool lowSupplyVoltage = false;
    bool valid = false;
};

struct MeterIdentity {
    char model[7] = {};  // e.g. "KV-606"
    uint8_t versionMajor = 0;
    uint8_t versionMinor = 0;
    char versionLetter = 0;
    bool valid = false;
};

struct SerialNumberData {
    int32_t serialNumber = 0;
    bool valid = false;
};

struct StartupDate {
    uint8_t month = 0;
    int16_t year = 0;  // full year
    bool valid = false;
};

struct TemperatureReading {
    double temperature = 0.0;  // degrees Celsius
    bool temperatureError = false;
    bool valid = false;
};

struct ServiceData {
    char text[9] = {};
    bool valid = false;
};

struct CharacteristicCount {
    uint16_t count = 0;
    bool valid = false;
};

struct ElectrodeCoefficient {
    double coefficient = 0.0;
    bool valid = false;
};

// What the driver knows about the meter at one moment, taken under one lock:
// the polling status together with the records it speaks for. Everything that
// shows or logs the meter's state (display, status line, registration, panel
// information, kv60x-cli) takes one of these instead of several getters, so a
// status of 0 never comes with records from before a port change.
struct MeterSnapshot {
    int status = kMeterFailed;  // polling status: 0 after a complete cycle, else 3
    uint64_t cycles = 0;        // complete polling cycles since the driver was made
    MeterIdentity identity;
    SerialNumberData serialNumber;
    StartupDate startupDate;
    MeterCondition condition;
    TemperatureReading temperature;
    ServiceData serviceData;
    CharacteristicCount count;

    bool linkUp() const { return status == kMeterOk; }
};
