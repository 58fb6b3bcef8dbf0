#pragma once

#include <cstdint>
#include <string>

// The meter's 8-hex-digit form of an IEEE 754 single-precision value, least
// significant byte first ("0000803F" is 1.0).

// Hex digit value: '0'..'9' and 'A'..'F'; anything else (lower case included) is 0.
int MeterHexDigit(char c);
// n digits as one number, most significant digit first.
uint32_t MeterHexNumber(const char* digits, int n);
// n digits accumulated by ten (same digit decoder).
int32_t MeterDecimalNumber(const char* digits, int n);

// Decodes 8 hex digits. The patterns 0 and 0x7FFFFFFF are 0.0; exponent fields
// 0 and 255 get no special meaning.
double DecodeMeterFloat(const char* digits8);

// The bit pattern the meter expects for x (mantissa cut towards zero; too large
// gives 0x7FFFFFFF, too small gives 0), before the byte order is reversed.
uint32_t MeterFloatPattern(double x);
// The 8 upper-case hex digits sent for x.
std::string EncodeMeterFloat(double x);
