#include "meter/meter_float.h"

#include <cmath>
#include <cstdio>

int MeterHexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

uint32_t MeterHexNumber(const char* digits, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 4) | static_cast<uint32_t>(MeterHexDigit(digits[i]));
    return v;
}

int32_t MeterDecimalNumber(const char* digits, int n) {
    // Hex letters count as 10..15 here too, as the meter's decoder does; the
    // accumulation is done unsigned so that no input can overflow.
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v * 10u + static_cast<uint32_t>(MeterHexDigit(digits[i]));
    return static_cast<int32_t>(v);
}

namespace {
uint32_t ReverseBytes(uint32_t v) {
    return ((v & 0xFFu) << 24) | ((v & 0xFF00u) << 8) | ((v >> 8) & 0xFF00u) | (v >> 24);
}
}  // namespace

double DecodeMeterFloat(const char* digits8) {
    const uint32_t p = ReverseBytes(MeterHexNumber(digits8, 8));
    if (p == 0 || p == 0x7FFFFFFFu) return 0.0;
    const int e = static_cast<int>((p >> 23) & 0xFF);
    const uint32_t f = p & 0x7FFFFFu;
    const double v = std::ldexp(static_cast<double>(f + 0x800000u), e - 126 - 24);
    return (p & 0x80000000u) ? -v : v;
}

uint32_t MeterFloatPattern(double x) {
    if (std::isnan(x)) return 0;  // nothing sensible to send; the meter reads 0.0
    bool negative = false;
    if (x < 0) {
        negative = true;
        x = -x;
    }
    if (x == 0.0) return 0;
    if (std::isinf(x)) return 0x7FFFFFFFu;
    int e = 0;
    const double m = std::frexp(x, &e);                     // 0.5 <= m < 1
    uint32_t mant = static_cast<uint32_t>(m * 16777216.0);  // cut towards zero
    if (mant > 0xFFFFFFu) mant = 0xFFFFFFu;
    const int biased = e + 126;
    if (biased > 255) return 0x7FFFFFFFu;
    if (biased < 1) return 0;
    uint32_t p = (static_cast<uint32_t>(biased) << 23) + (mant & 0x7FFFFFu);
    if (negative) p |= 0x80000000u;
    return p;
}

std::string EncodeMeterFloat(double x) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", ReverseBytes(MeterFloatPattern(x)));
    return buf;
}
