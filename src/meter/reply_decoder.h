#pragma once

#include <cstddef>
#include <cstdint>

#include "meter/char_image.h"
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
    // The last "CR" answer: the slot it named, its 256 bytes as they came, and
    // the record decoded from them (valid 0 when the checksum failed).
    uint8_t slotAnswered = 0;
    CharImage slotImage{};
    CharRecData slot;
};

struct DecodeResult {
    bool accepted = true;              // false: the line was rejected
    ReplyKind kind = ReplyKind::None;  // the event to signal (None: nothing to signal)
};

// Decodes one answer line (CR LF included in length) into state. Lines shorter
// than their kind's minimum, refusals ("!C...") and answers whose number
// fields hold anything but their digits (upper-case hex for "ST", "TR", "CN",
// "KR"; decimal for "SR", "DR") are rejected and change nothing, so that line
// noise is asked again instead of being taken for zeros; a line of no known kind is accepted
// without effect. A "CR" answer is accepted whatever its checksum, so that the reader can judge it
// at once and ask again. `now` (seconds since 1970) dates the empty record of an erased slot.
DecodeResult DecodeReply(const char* line, size_t length, MeterState& state, int32_t now);
