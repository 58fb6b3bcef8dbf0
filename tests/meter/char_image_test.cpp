#include <gtest/gtest.h>

#include <cstring>

#include "meter/char_image.h"
#include "support/sample_records.h"

using testsupport::SampleRecord;

TEST(CharImage, InactiveEmptyBlockIsZerosAndChecksumFF) {
    CharRecData rec;
    const std::string line = BuildCharDataLine(rec);
    ASSERT_EQ(line.size(), 514u);
    EXPECT_EQ(line.substr(0, 510), std::string(510, '0'));
    EXPECT_EQ(line.substr(510), "FF\r\n");
}

TEST(CharImage, FlagsAndMethodBytes) {
    CharRecData rec;
    rec.ENABLE = 1;
    rec.PASSWORD = 1;
    rec.COMPENSATION = 1;
    rec.METHOD = 2;  // anything but 1 is sent as 0
    CharImage img = EncodeCharImage(rec);
    EXPECT_EQ(img[0], 0x58);
    EXPECT_EQ(img[3], 0x03);
    EXPECT_EQ(img[4], 0x00);
    EXPECT_TRUE(CharImageChecksumOk(img));

    // A received method digit 5 reads as 2; the high nibble is not read.
    img[4] = 0x05;
    img[3] = 0xF2;
    img[0] = 0x57;  // not exactly 0x58: inactive
    CharRecData back;
    DecodeCharImage(img, back);
    EXPECT_EQ(back.METHOD, 2);
    EXPECT_EQ(back.PASSWORD, 0);
    EXPECT_EQ(back.COMPENSATION, 1);
    EXPECT_EQ(back.ENABLE, 0);
}

TEST(CharImage, DatesMostSignificantFirstFloatsLeastSignificantFirst) {
    CharRecData rec;
    rec.CREATE_TIME = 0x4A8D1C00;
    rec.RH[0] = 1.0;
    const std::string line = BuildCharDataLine(rec);
    EXPECT_EQ(line.substr(2 * 154, 8), "4A8D1C00");
    EXPECT_EQ(line.substr(2 * 18, 8), "0000803F");
}

TEST(CharImage, EveryFieldRoundTrips) {
    // Negative times travel as their 32 bits.
    const CharRecData rec = SampleRecord(9).Password().Dates(1250000000, -5);
    const CharImage img = EncodeCharImage(rec);
    ASSERT_TRUE(CharImageChecksumOk(img));
    CharRecData back;
    back.REC_NUMBER = 9;
    DecodeCharImage(CharImageFromHex(CharImageToHex(img).c_str()), back);
    EXPECT_TRUE(back == rec);
}

TEST(CharImage, ReservedBytesAreSentAsZero) {
    CharRecData rec;
    std::memset(rec.DESC, 'x', 40);
    const CharImage img = EncodeCharImage(rec);
    for (int k : {1, 2}) EXPECT_EQ(img[k], 0);
    for (int k = 218; k < 255; ++k) EXPECT_EQ(img[k], 0) << k;
}
