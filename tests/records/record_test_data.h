#pragma once

#include <QTemporaryDir>

#include <cstring>

#include "records/char_rec_data.h"

// A record with every field distinct and non-zero, texts in code page 1250.
inline CharRecData SampleRecord(uint8_t slot) {
    CharRecData d;
    d.REC_NUMBER = slot;
    d.ENABLE = 1;
    d.PASSWORD = 1;
    d.COMPENSATION = 1;
    d.METHOD = 1;
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        d.RH[i] = 1.5 * (i + 1) + slot;
        d.VALUE[i] = -0.001 * (i + 1);
    }
    for (int k = 0; k < CharRecData::kCoefficients; ++k) d.COMPENS[k] = 0.25 * (k + 1);
    d.ACTIVE = 7;
    std::memcpy(d.CERTIFICATE, "\xA3\xF3\x64\x9F 12/3       ", 15);
    d.CREATE_TIME = 1600000000;
    d.SAVE_TIME = -2;
    std::memcpy(d.DESC, "\xBF\xF3\xB3ty \xB9\x62 \xE6\xEA\xF1\x9C", 14);
    std::memset(d.DESC + 14, ' ', 26);
    std::memcpy(d.CODE, "\x8C\x8F\xAF", 3);
    std::memcpy(d.NAME, "\xA5\xC6\xCA\xA3\xD1\xD3     ", 10);
    d.valid = 1;
    return d;
}
