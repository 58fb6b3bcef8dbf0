#include "records/char_rec_data.h"

#include <cstring>

CharRecData MakeEmptySlot(int index) {
    CharRecData d;
    d.REC_NUMBER = static_cast<uint8_t>(index);
    d.valid = 1;
    return d;
}

bool operator==(const CharRecData& a, const CharRecData& b) {
    auto same = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return a.REC_NUMBER == b.REC_NUMBER && a.ENABLE == b.ENABLE && a.PASSWORD == b.PASSWORD &&
           a.COMPENSATION == b.COMPENSATION && a.METHOD == b.METHOD && same(a.RH, b.RH) &&
           same(a.VALUE, b.VALUE) && same(a.COMPENS, b.COMPENS) && a.ACTIVE == b.ACTIVE &&
           same(a.CERTIFICATE, b.CERTIFICATE) && a.CREATE_TIME == b.CREATE_TIME &&
           a.SAVE_TIME == b.SAVE_TIME && same(a.DESC, b.DESC) && same(a.CODE, b.CODE) &&
           same(a.NAME, b.NAME) && a.valid == b.valid;
}

bool IsBlankRecord(const CharRecData& rec) {
    if (rec.ENABLE != 0) return false;
    for (int i = 0; i < CharRecData::kPoints; ++i) {
        if (rec.RH[i] != 0.0 || rec.VALUE[i] != 0.0) return false;
    }
    return true;
}
