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

// Result codes of every meter operation.
constexpr int kMeterOk = 0;
constexpr int kMeterFailed = 3;
