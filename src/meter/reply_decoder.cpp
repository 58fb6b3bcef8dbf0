#include "meter/reply_decoder.h"

#include <cstring>

#include "meter/char_image.h"
#include "meter/meter_float.h"

namespace {

// The line with reads past its end giving 0, as in the driver's zeroed buffer.
struct Line {
    const char* p;
    size_t n;
    char at(size_t i) const { return i < n ? p[i] : 0; }
    bool startsWith(const char* prefix) const {
        const size_t k = std::strlen(prefix);
        return n >= k && std::memcmp(p, prefix, k) == 0;
    }
    // Copies count characters from position from, zero past the end.
    void copy(size_t from, char* out, size_t count) const {
        for (size_t i = 0; i < count; ++i) out[i] = at(from + i);
    }
    int hex(size_t i) const { return MeterHexDigit(at(i)); }
    uint32_t hexNumber(size_t from, int digits) const {
        char buf[8];
        copy(from, buf, static_cast<size_t>(digits));
        return MeterHexNumber(buf, digits);
    }
    int32_t decimal(size_t from, int digits) const {
        char buf[8];
        copy(from, buf, static_cast<size_t>(digits));
        return MeterDecimalNumber(buf, digits);
    }
    // Every one of `count` characters from `from` is an upper-case hex digit
    // (or a decimal digit): anything else is line noise, not a 0.
    bool hexDigits(size_t from, size_t count) const {
        for (size_t i = from; i < from + count; ++i) {
            const char c = at(i);
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
        }
        return true;
    }
    bool decimalDigits(size_t from, size_t count) const {
        for (size_t i = from; i < from + count; ++i) {
            if (at(i) < '0' || at(i) > '9') return false;
        }
        return true;
    }
    double meterFloat(size_t from) const {
        char buf[8];
        copy(from, buf, 8);
        return DecodeMeterFloat(buf);
    }
};

constexpr DecodeResult kRejected{false, ReplyKind::None};

DecodeResult Accept(ReplyKind kind) {
    return {true, kind};
}

}  // namespace

DecodeResult DecodeReply(const char* text, size_t length, MeterState& st, int32_t now) {
    const Line l{text, length};

    if (l.startsWith("ST")) {
        if (length < 7 || !l.hexDigits(5, 1)) return kRejected;
        const int v = l.hex(5);
        st.condition.startupMemoryError = (v & 1) != 0;
        st.condition.startupDataError = (v & 2) == 0;
        st.condition.lowSupplyVoltage = (v & 4) != 0;
        st.condition.valid = true;
        return Accept(ReplyKind::Condition);
    }
    if (l.startsWith("TR")) {
        if (length < 7 || !l.hexDigits(3, 4)) return kRejected;
        st.temperature.temperatureError = l.at(2) != 'O';
        const int16_t t = static_cast<int16_t>(static_cast<uint16_t>(l.hexNumber(3, 4)));
        st.temperature.temperature = t / 100.0;
        st.temperature.valid = true;
        return Accept(ReplyKind::Temperature);
    }
    if (l.startsWith("CR")) {
        if (length < 518) return kRejected;
        st.slotAnswered = static_cast<uint8_t>(l.hexNumber(2, 2));
        st.slotImage = CharImageFromHex(text + 4);
        st.slot = CharRecData{};
        st.slot.REC_NUMBER = st.slotAnswered;
        if (CharImageChecksumOk(st.slotImage)) {
            DecodeCharImage(st.slotImage, st.slot);
        } else if (CharImageErased(st.slotImage)) {
            MakeErasedSlotRecord(st.slot, now);
        }
        // Any other sum: a damaged transfer, no record (valid stays 0).
        return Accept(ReplyKind::CharRead);
    }
    if (l.startsWith("KV-")) {
        if (length < 10) return kRejected;
        l.copy(0, st.identity.model, 6);
        st.identity.model[6] = 0;
        st.identity.versionLetter = l.at(6);
        st.identity.versionMajor = static_cast<uint8_t>(l.hex(8));
        st.identity.versionMinor = static_cast<uint8_t>(l.hex(10));
        st.identity.valid = true;
        return Accept(ReplyKind::Identity);
    }
    if (l.startsWith("SR")) {
        if (length < 6 || !l.decimalDigits(2, 4)) return kRejected;
        st.serialNumber.serialNumber = l.decimal(2, 4);
        st.serialNumber.valid = true;
        return Accept(ReplyKind::SerialNumber);
    }
    if (l.startsWith("KR")) {
        if (length < 10 || !l.hexDigits(2, 8)) return kRejected;
        st.coefficient.coefficient = l.meterFloat(2);
        st.coefficient.valid = true;
        return Accept(ReplyKind::Coefficient);
    }
    if (l.startsWith("SD")) {
        if (length < 12) return kRejected;
        l.copy(2, st.serviceData.text, 8);
        st.serviceData.text[8] = 0;
        st.serviceData.valid = true;
        return Accept(ReplyKind::ServiceData);
    }
    if (l.startsWith("CN")) {
        if (length < 4 || !l.hexDigits(2, 2)) return kRejected;
        st.count.count = static_cast<uint16_t>(l.hexNumber(2, 2));
        st.count.valid = true;
        return Accept(ReplyKind::Count);
    }
    if (l.startsWith("SW")) return length < 6 ? kRejected : Accept(ReplyKind::SerialNumberWritten);
    if (l.startsWith("KW")) return length < 10 ? kRejected : Accept(ReplyKind::CoefficientWritten);
    if (l.startsWith("VW")) return length < 3 ? kRejected : Accept(ReplyKind::VersionLetterWritten);
    if (l.startsWith("DR")) {
        if (length < 6 || !l.decimalDigits(2, 4)) return kRejected;
        st.startupDate.year = static_cast<int16_t>(2000 + l.decimal(2, 2));
        st.startupDate.month = static_cast<uint8_t>(l.decimal(4, 2));
        st.startupDate.valid = true;
        return Accept(ReplyKind::StartupDate);
    }
    if (l.startsWith("CW")) return length < 6 ? kRejected : Accept(ReplyKind::CharDataWritten);
    if (l.startsWith("!C")) return kRejected;  // a refused characteristic write
    if (l.startsWith("CZ")) return length < 6 ? kRejected : Accept(ReplyKind::CharHeaderAccepted);
    if (l.startsWith("DW")) return length < 6 ? kRejected : Accept(ReplyKind::StartupDateWritten);
    return Accept(ReplyKind::None);  // unknown: a sign of life only
}
