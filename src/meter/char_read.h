#pragma once

#include <QString>

#include "meter/char_image.h"

// How a characteristic read went: whether the meter answered, for which slot,
// and the 256 bytes it sent. A read succeeds only with an answer that names the
// slot asked for and passes its checksum (or is an erased slot, all 0xFF).
struct CharReadReport {
    enum class Fault {
        None,         // read: `image` is what the meter holds
        NoAnswer,     // no answer (or no port)
        WrongSlot,    // the last answer named another slot
        BadChecksum,  // the last answer failed its checksum
    };
    Fault fault = Fault::NoAnswer;
    int slot = 0;                  // 0-based slot asked for
    int answeredSlot = -1;         // slot named by the last answer; -1 when none came
    uint8_t receivedChecksum = 0;  // byte 255 of the last answer
    uint8_t expectedChecksum = 0;  // what byte 255 should have been
    CharImage image{};             // the last answer's bytes as they came
    int attempts = 0;              // sendings of "CR"
};

// The message of a failed read. A wrong slot and a bad checksum get a message
// naming the slot (1-based, as the window numbers them) and what was wrong;
// no answer gets "Nie można odczytać ustawień".
QString CharReadFailureText(const CharReadReport& report);
