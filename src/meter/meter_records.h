#pragma once

#include <cstdint>

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
// whether the link is up together with the records it speaks for. Everything
// that shows or logs the meter's state (display, status line, registration,
// panel information, kv60x-cli) takes one of these instead of several getters,
// so a link that is up never comes with records from before a port change.
struct MeterSnapshot {
    bool link = false;    // the link is up: a complete polling cycle, none failed since
    uint64_t cycles = 0;  // complete polling cycles since the driver was made
    MeterIdentity identity;
    SerialNumberData serialNumber;
    StartupDate startupDate;
    MeterCondition condition;
    TemperatureReading temperature;
    ServiceData serviceData;
    CharacteristicCount count;

    bool linkUp() const { return link; }
};
