#pragma once

#include <cstdint>

// One material characteristic: a calibration curve of up to 15 points with its
// compensation coefficients, texts and dates. A plain value copied whole between
// the driver, the dialogs, the table's slots and the record files.
//
// Texts are 8-bit code page 1250 bytes in fixed arrays, terminated by a zero
// byte inside the array. Times are seconds since 1970-01-01 UTC.
struct CharRecData {
    static constexpr int kPoints = 15;
    static constexpr int kCoefficients = 4;
    static constexpr int kCertificateLen = 15;
    static constexpr int kDescLen = 40;
    static constexpr int kCodeLen = 3;
    static constexpr int kNameLen = 10;

    uint8_t REC_NUMBER = 0;  // 0-based meter slot
    uint8_t ENABLE = 0;      // 1 = record active in the meter
    uint8_t PASSWORD = 0;    // 1 = password protected
    uint8_t COMPENSATION = 0;
    uint8_t METHOD = 0;  // 0 resistive, 1 capacitive, 2 anything else the meter reported
    double RH[kPoints] = {};
    double VALUE[kPoints] = {};
    double COMPENS[kCoefficients] = {};
    uint8_t ACTIVE = 0;  // points in use
    char CERTIFICATE[kCertificateLen + 1] = {};
    int32_t CREATE_TIME = 0;
    int32_t SAVE_TIME = 0;
    char DESC[kDescLen + 1] = {};
    char CODE[kCodeLen + 1] = {};
    char NAME[kNameLen + 1] = {};
    uint8_t valid = 0;  // 1 = holds a real record
};

// The all-zero block of an empty table slot: REC_NUMBER = index, valid = 1.
CharRecData MakeEmptySlot(int index);

// A record with no curve: inactive and every point 0.0. It is how an empty slot
// looks (what a cut leaves, or an erased slot of the meter), and writing it
// clears the slot.
bool IsBlankRecord(const CharRecData& rec);

// Field-by-field equality (every byte of the texts, exact doubles).
bool operator==(const CharRecData& a, const CharRecData& b);
inline bool operator!=(const CharRecData& a, const CharRecData& b) {
    return !(a == b);
}
