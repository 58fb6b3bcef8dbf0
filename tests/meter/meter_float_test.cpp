#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "meter/meter_float.h"

TEST(MeterFloat, OneTravelsAs0000803FBothWays) {
    EXPECT_EQ(EncodeMeterFloat(1.0), "0000803F");
    EXPECT_DOUBLE_EQ(DecodeMeterFloat("0000803F"), 1.0);
}

TEST(MeterFloat, SpecialPatternsDecodeToZero) {
    EXPECT_DOUBLE_EQ(DecodeMeterFloat("00000000"), 0.0);
    EXPECT_DOUBLE_EQ(DecodeMeterFloat("FFFFFF7F"), 0.0);  // pattern 0x7FFFFFFF
}

TEST(MeterFloat, OutOfRangeValuesUseTheMeterPatterns) {
    EXPECT_EQ(EncodeMeterFloat(1e39), "FFFFFF7F");
    EXPECT_EQ(EncodeMeterFloat(-1e39), "FFFFFF7F");  // the sign is dropped
    EXPECT_EQ(EncodeMeterFloat(1e-39), "00000000");
    EXPECT_EQ(EncodeMeterFloat(0.0), "00000000");
    EXPECT_EQ(EncodeMeterFloat(std::nan("")), "00000000");
}

TEST(MeterFloat, NegativeValuesCarryTheSignBit) {
    EXPECT_EQ(EncodeMeterFloat(-2.0), "000000C0");
    EXPECT_DOUBLE_EQ(DecodeMeterFloat("000000C0"), -2.0);
}

TEST(MeterFloat, MantissaIsCutNotRounded) {
    // 0.1 as a float rounds up in its last bit; the meter's encoder cuts it.
    const uint32_t pattern = MeterFloatPattern(0.1);
    float f;
    std::memcpy(&f, &pattern, 4);
    EXPECT_LE(static_cast<double>(f), 0.1);
    EXPECT_EQ(pattern, 0x3DCCCCCCu);
}

TEST(MeterFloat, SinglePrecisionValuesRoundTripExactly) {
    const float values[] = {12.5f, -0.0125f, 3.4e38f, 1.17549435e-38f, 123456.789f, 1e-7f};
    for (float v : values) {
        EXPECT_EQ(static_cast<float>(DecodeMeterFloat(EncodeMeterFloat(v).c_str())), v) << v;
    }
}

TEST(MeterFloat, LowerCaseAndForeignDigitsCountAsZero) {
    EXPECT_EQ(MeterHexDigit('a'), 0);
    EXPECT_EQ(MeterHexDigit('G'), 0);
    EXPECT_EQ(MeterHexDigit('F'), 15);
    // "0000803f": the last digit reads as 0, giving pattern 0x3080_0000.
    EXPECT_DOUBLE_EQ(DecodeMeterFloat("0000803f"), DecodeMeterFloat("00008030"));
    EXPECT_EQ(MeterDecimalNumber("12x4", 4), 1204);
}
