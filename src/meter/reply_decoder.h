#pragma once

#include <cstddef>
#include <cstdint>

#include "meter/meter_records.h"
#include "records/char_rec_data.h"

// The kinds of answer a sender can wait for; one reply event each.
enum class ReplyKind {
    None = -1,
    Condition = 0,
    Identity,
    VersionLetterWritten,
    StartupDateWritten,
    StartupDate,
    SerialNumberWritten,
    SerialNumber,
    CoefficientWritten,
    Coefficient,
    CharDataWritten,
    CharHeaderAccepted,
    CharRead,
    Count,
    ServiceData,
    Temperature,
};
constexpr int kReplyKindCount = 15;

// Everything the driver decodes from the meter's answers.
struct MeterState {
    MeterCondition condition;
    MeterIdentity identity;
    SerialNumberData serialNumber;
    StartupDate startupDate;
    TemperatureReading temperature;
    ServiceData serviceData;
    CharacteristicCount count;
    ElectrodeCoefficient coefficient;
    CharRecData slot;  // the last characteristic read
};

struct DecodeResult {
    int code = kMeterOk;               // 0 accepted, 3 rejected
    ReplyKind kind = ReplyKind::None;  // the event to signal (None: nothing to signal)
};

// Decodes one answer line (CR LF included in length) into state. Lines shorter
// than their kind's minimum and refusals ("!C...") are rejected and change
// nothing; a line of no known kind is accepted without effect. `now` (seconds
// since 1970) dates the empty record that a bad characteristic checksum gives.
DecodeResult DecodeReply(const char* line, size_t length, MeterState& state, int32_t now);
