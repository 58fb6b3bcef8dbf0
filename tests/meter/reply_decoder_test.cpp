#include <gtest/gtest.h>

#include <string>

#include "meter/char_image.h"
#include "meter/reply_decoder.h"
#include "support/sample_records.h"

using testsupport::SampleRecord;

namespace {

DecodeResult Decode(const std::string& line, MeterState& st, int32_t now = 1000) {
    return DecodeReply(line.data(), line.size(), st, now);
}

}  // namespace

TEST(ReplyDecoder, ConditionDigit) {
    struct Case {
        const char* line;
        bool memory, data, low;
    } cases[] = {
        {"ST0002\r\n", false, false, false},
        {"ST0000\r\n", false, true, false},
        {"ST0007\r\n", true, false, true},
    };
    for (const Case& c : cases) {
        MeterState st;
        const DecodeResult r = Decode(c.line, st);
        EXPECT_TRUE(r.accepted) << c.line;
        EXPECT_EQ(r.kind, ReplyKind::Condition);
        EXPECT_TRUE(st.condition.valid);
        EXPECT_EQ(st.condition.startupMemoryError, c.memory) << c.line;
        EXPECT_EQ(st.condition.startupDataError, c.data) << c.line;
        EXPECT_EQ(st.condition.lowSupplyVoltage, c.low) << c.line;
    }
}

TEST(ReplyDecoder, Temperature) {
    MeterState st;
    EXPECT_EQ(Decode("TRO0960\r\n", st).kind, ReplyKind::Temperature);
    EXPECT_DOUBLE_EQ(st.temperature.temperature, 24.0);
    EXPECT_FALSE(st.temperature.temperatureError);
    Decode("TRE0960\r\n", st);
    EXPECT_DOUBLE_EQ(st.temperature.temperature, 24.0);
    EXPECT_TRUE(st.temperature.temperatureError);
    Decode("TROFF38\r\n", st);
    EXPECT_DOUBLE_EQ(st.temperature.temperature, -2.0);
    EXPECT_FALSE(st.temperature.temperatureError);
}

TEST(ReplyDecoder, IdentityAndNumbers) {
    MeterState st;
    EXPECT_EQ(Decode("KV-607B 1.3\r\n", st).kind, ReplyKind::Identity);
    EXPECT_STREQ(st.identity.model, "KV-607");
    EXPECT_EQ(st.identity.versionLetter, 'B');
    EXPECT_EQ(st.identity.versionMajor, 1);
    EXPECT_EQ(st.identity.versionMinor, 3);
    // Minimum length: the minor digit lies past the end and reads as 0.
    EXPECT_TRUE(Decode("KV-606A 2\r\n", st).accepted);
    EXPECT_EQ(st.identity.versionMajor, 2);
    EXPECT_EQ(st.identity.versionMinor, 0);

    Decode("SR0017\r\n", st);
    EXPECT_EQ(st.serialNumber.serialNumber, 17);
    Decode("DR0908\r\n", st);
    EXPECT_EQ(st.startupDate.year, 2009);
    EXPECT_EQ(st.startupDate.month, 8);
    Decode("CN14\r\n", st);
    EXPECT_EQ(st.count.count, 20);
    Decode("SDABCDEFGH\r\n", st);
    EXPECT_STREQ(st.serviceData.text, "ABCDEFGH");
    Decode("KR0000803F\r\n", st);
    EXPECT_DOUBLE_EQ(st.coefficient.coefficient, 1.0);
    EXPECT_TRUE(st.coefficient.valid);
}

TEST(ReplyDecoder, ShortLinesAreRejectedAndChangeNothing) {
    const char* shortLines[] = {"ST02\r\n", "TRO0\r\n",  "KV-60\r\n",      "SR0\r\n",
                                "DR0\r\n",  "SDABC\r\n", "CN\r",           "KR0000\r\n",
                                "SW1\r\n",  "KW00\r\n",  "VW" /*no CRLF*/, "CW1\r\n",
                                "CZ1\r\n",  "DW1\r\n",   "CR00FF\r\n"};
    for (const char* line : shortLines) {
        MeterState st;
        const DecodeResult r = Decode(line, st);
        EXPECT_FALSE(r.accepted) << line;
        EXPECT_EQ(r.kind, ReplyKind::None) << line;
        EXPECT_FALSE(st.condition.valid || st.temperature.valid || st.identity.valid ||
                     st.serialNumber.valid || st.startupDate.valid || st.serviceData.valid ||
                     st.count.valid || st.coefficient.valid || st.slot.valid)
            << line;
    }
}

TEST(ReplyDecoder, NumberFieldsWithAnythingButDigitsAreRejectedAndChangeNothing) {
    // Line noise in a number field (a lower-case letter included) is not a
    // zero: the answer is refused, so the command is sent again.
    const char* noisy[] = {"CNZZ\r\n",       "CN1Z\r\n",      "TROZZZZ\r\n", "TRO09 0\r\n",
                           "SR00Z7\r\n",     "SR001A\r\n",    "DR09Z8\r\n",  "ST000a\r\n",
                           "KR0000803f\r\n", "KR00 0803F\r\n"};
    for (const char* line : noisy) {
        MeterState st;
        st.count.count = 20;
        const DecodeResult r = Decode(line, st);
        EXPECT_FALSE(r.accepted) << line;
        EXPECT_EQ(r.kind, ReplyKind::None) << line;
        EXPECT_FALSE(st.condition.valid || st.temperature.valid || st.serialNumber.valid ||
                     st.startupDate.valid || st.count.valid || st.coefficient.valid)
            << line;
        EXPECT_EQ(st.count.count, 20) << line;
    }
}

TEST(ReplyDecoder, RefusalsAreRejectedAtAnyLength) {
    MeterState st;
    EXPECT_FALSE(Decode("!C\r\n", st).accepted);
    EXPECT_FALSE(Decode("!CW05\r\n", st).accepted);
    EXPECT_FALSE(Decode("!CZ" + std::string(600, 'Z') + "\r\n", st).accepted);
}

TEST(ReplyDecoder, ConfirmationsSignalTheirEvents) {
    MeterState st;
    EXPECT_EQ(Decode("SW0017\r\n", st).kind, ReplyKind::SerialNumberWritten);
    EXPECT_EQ(Decode("KW0000803F\r\n", st).kind, ReplyKind::CoefficientWritten);
    EXPECT_EQ(Decode("VW\r\n", st).kind, ReplyKind::VersionLetterWritten);
    EXPECT_EQ(Decode("DW0908\r\n", st).kind, ReplyKind::StartupDateWritten);
    EXPECT_EQ(Decode("CW05\r\n", st).kind, ReplyKind::CharDataWritten);
    EXPECT_EQ(Decode("CZ05\r\n", st).kind, ReplyKind::CharHeaderAccepted);
    // A confirmation stores nothing: the serial number stays unknown.
    EXPECT_FALSE(st.serialNumber.valid);
}

TEST(ReplyDecoder, UnknownLinesAreAcceptedWithoutEffect) {
    MeterState st;
    const DecodeResult r = Decode("HELLO\r\n", st);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.kind, ReplyKind::None);
    EXPECT_TRUE(Decode(std::string("\0\0\r\n", 4), st).accepted);
}

TEST(ReplyDecoder, CharacteristicWithGoodAndBadChecksum) {
    const CharRecData rec = SampleRecord().Dates(0x4A8D1C00, 0x4A8D2A10);
    const std::string hex = CharImageToHex(EncodeCharImage(rec));

    MeterState st;
    EXPECT_EQ(Decode("CR07" + hex + "\r\n", st).kind, ReplyKind::CharRead);
    CharRecData expected = rec;
    expected.REC_NUMBER = 7;  // from the answer: the image does not hold it
    EXPECT_TRUE(st.slot == expected);

    // An erased slot (all FF) fails the checksum: an empty record dated now.
    MeterState erased;
    EXPECT_TRUE(Decode("CR03" + std::string(512, 'F') + "\r\n", erased, 12345).accepted);
    EXPECT_EQ(erased.slot.REC_NUMBER, 3);
    EXPECT_EQ(erased.slot.ENABLE, 0);
    EXPECT_EQ(erased.slot.ACTIVE, 2);
    EXPECT_EQ(erased.slot.CREATE_TIME, 12345);
    EXPECT_EQ(erased.slot.SAVE_TIME, 12345);
    EXPECT_STREQ(erased.slot.NAME, "");
    EXPECT_EQ(erased.slot.valid, 1);

    // Any other bad sum is a damaged transfer: accepted (so that the reader is
    // woken at once), kept as it came, but no record.
    std::string spoiled = hex;
    spoiled[510] = spoiled[510] == '0' ? '1' : '0';
    MeterState damaged;
    damaged.slot = st.slot;
    const DecodeResult r = Decode("CR09" + spoiled + "\r\n", damaged, 12345);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.kind, ReplyKind::CharRead);
    EXPECT_EQ(damaged.slotAnswered, 9);
    EXPECT_EQ(damaged.slot.REC_NUMBER, 9);
    EXPECT_EQ(damaged.slot.valid, 0);
    EXPECT_EQ(damaged.slot.ENABLE, 0);  // nothing of the previous record is left
    EXPECT_EQ(CharImageToHex(damaged.slotImage), spoiled);
    EXPECT_NE(damaged.slotImage[255], CharImageExpectedChecksum(damaged.slotImage));
}
