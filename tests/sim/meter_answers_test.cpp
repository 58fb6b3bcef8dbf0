// The simulated meter's answers, without a line: what it says to each command
// and how writes change it.

#include "sim/meter_answers.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "meter/char_image.h"
#include "support/sample_records.h"

using testsupport::SampleRecord;

namespace {

const std::string kErased(512, 'F');

SimMeter::Image ErasedImage() {
    SimMeter::Image img;
    img.fill(0xFF);
    return img;
}

// The data line of a characteristic write, without its CR LF.
std::string DataLine(const CharRecData& rec) {
    std::string line = BuildCharDataLine(rec);
    line.resize(line.size() - 2);
    return line;
}

}  // namespace

TEST(SimMeterAnswers, EveryReadCommandAnswersInItsForm) {
    SimMeterState st;
    st.model = "KV-608";
    st.versionLetter = 'B';
    st.versionMajor = 2;
    st.versionMinor = 11;
    st.serialNumber = 42;
    st.startupYear = 2012;
    st.startupMonth = 3;
    st.temperature = 21.5;
    st.serviceText = "S12";
    st.slotCount = 20;
    st.electrodeCoefficient = 1.5;
    SimMeter m(st);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"VR", "KV-608B 2.B\r\n"},
        {"ST", "ST0002\r\n"},
        {"SR", "SR0042\r\n"},
        {"DR", "DR1203\r\n"},
        {"TR", "TRO0866\r\n"},
        {"CN", "CN14\r\n"},
        {"SD", "SDS12     \r\n"},
        {"KR", "KR0000C03F\r\n"},
        {"CR05", "CR05" + kErased + "\r\n"},
        // Unknown commands and lines too short to hold one get no answer.
        {"XX", ""},
        {"V", ""},
        {"", ""},
    };
    for (const auto& [command, answer] : cases) {
        EXPECT_EQ(m.Answer(command, 0), answer) << command;
    }
}

TEST(SimMeterAnswers, ConditionTemperatureAndCountEncodeTheirEdges) {
    SimMeterState st;
    st.startupMemoryError = true;
    st.startupDataError = true;  // the "data fine" bit goes off
    st.lowSupplyVoltage = true;
    st.temperature = -5.25;
    st.temperatureError = true;
    st.slotCount = 300;
    SimMeter m(st);
    EXPECT_EQ(m.Answer("ST", 0), "ST0005\r\n");
    EXPECT_EQ(m.Answer("TR", 0), "TREFDF3\r\n");  // -525 hundredths
    EXPECT_EQ(m.Answer("CN", 0), "CNFF\r\n");

    m.EditState().temperature = 400;  // beyond the 16-bit reading
    m.EditState().temperatureError = false;
    m.EditState().slotCount = -1;
    EXPECT_EQ(m.Answer("TR", 0), "TRO7FFF\r\n");
    EXPECT_EQ(m.Answer("CN", 0), "CN00\r\n");
}

TEST(SimMeterAnswers, TemperatureDriftFollowsTheTimeGiven) {
    SimMeterState st;
    st.temperature = 21.5;
    st.driftAmplitude = 1.5;
    st.driftPeriodS = 180;
    SimMeter m(st);
    EXPECT_EQ(m.Answer("TR", 0), "TRO0866\r\n");    // 21.50
    EXPECT_EQ(m.Answer("TR", 45), "TRO08FC\r\n");   // a quarter period: 23.00
    EXPECT_EQ(m.Answer("TR", 135), "TRO07D0\r\n");  // three quarters: 20.00
    EXPECT_EQ(m.Answer("TR", 180 + 45), "TRO08FC\r\n");
    EXPECT_DOUBLE_EQ(m.TemperatureAt(45), 23.0);

    m.EditState().driftPeriodS = 0;  // no period: no drift
    EXPECT_EQ(m.Answer("TR", 45), "TRO0866\r\n");
}

TEST(SimMeterAnswers, CharacteristicWriteStoresTheSlotAndReadsBack) {
    SimMeter m;
    const CharRecData rec = SampleRecord(5);
    EXPECT_EQ(m.Answer("CW05", 0), "CZ05\r\n");
    EXPECT_EQ(m.PendingWriteSlot(), 5);
    EXPECT_EQ(m.Answer(DataLine(rec), 0), "CW05\r\n");
    EXPECT_EQ(m.PendingWriteSlot(), -1);

    EXPECT_EQ(m.SlotImage(5), EncodeCharImage(rec));
    EXPECT_EQ(m.Answer("CR05", 0), "CR05" + CharImageToHex(EncodeCharImage(rec)) + "\r\n");
    CharRecData expected;
    DecodeCharImage(EncodeCharImage(rec), expected);
    expected.REC_NUMBER = 5;
    EXPECT_TRUE(m.SlotRecord(5) == expected);
    EXPECT_EQ(m.SlotRecord(6).valid, 0);  // its neighbour stays erased

    // Lower-case hex digits are the same line.
    const CharRecData other = SampleRecord(7);
    std::string lower = DataLine(other);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(m.Answer("CW07", 0), "CZ07\r\n");
    EXPECT_EQ(m.Answer(lower, 0), "CW07\r\n");
    EXPECT_EQ(m.SlotImage(7), EncodeCharImage(other));
}

TEST(SimMeterAnswers, WritesAreRefusedWithoutTouchingTheSlot) {
    SimMeterState st;
    st.slotCount = 20;
    SimMeter m(st);
    const std::string data = DataLine(SampleRecord(3));
    std::string badSum = data;
    badSum[511] = badSum[511] == '0' ? '1' : '0';

    EXPECT_EQ(m.Answer("CW14", 0), "!CZ\r\n");  // slot 20 of 20: beyond the memory
    EXPECT_EQ(m.Answer(data, 0), "!CW\r\n");    // no header accepted before
    EXPECT_EQ(m.Answer("CW03", 0), "CZ03\r\n");
    EXPECT_EQ(m.Answer("TR", 0).substr(0, 2), "TR");
    EXPECT_EQ(m.Answer(data, 0), "!CW\r\n");  // another command came between
    EXPECT_EQ(m.Answer("CW03", 0), "CZ03\r\n");
    EXPECT_EQ(m.Answer(badSum, 0), "!CW\r\n");
    EXPECT_EQ(m.Answer(data, 0), "!CW\r\n");  // one data line per header
    EXPECT_EQ(m.Answer("CW03", 0), "CZ03\r\n");
    m.DropPendingWrite();  // the line was broken in between
    EXPECT_EQ(m.Answer(data, 0), "!CW\r\n");

    SimAnswerFaults f;
    f.refuseCharHeader = true;
    m.SetFaults(f);
    EXPECT_EQ(m.Answer("CW03", 0), "!CZ\r\n");
    f = SimAnswerFaults();
    f.refuseCharData = true;
    m.SetFaults(f);
    EXPECT_EQ(m.Answer("CW03", 0), "CZ03\r\n");
    EXPECT_EQ(m.Answer(data, 0), "!CW\r\n");

    EXPECT_EQ(m.SlotImage(3), ErasedImage());
}

TEST(SimMeterAnswers, ErasedSlotAndBadChecksum) {
    SimMeter m;
    EXPECT_EQ(m.SlotRecord(9).valid, 0);
    EXPECT_EQ(m.SlotRecord(9).REC_NUMBER, 9);
    const CharRecData rec = SampleRecord(9);
    m.SetSlotImage(9, EncodeCharImage(rec));
    ASSERT_EQ(m.SlotRecord(9).valid, 1);
    EXPECT_EQ(m.SlotImage(9 + 256), m.SlotImage(9));  // slot numbers wrap at 256

    SimAnswerFaults f;
    f.badChecksum = true;
    m.SetFaults(f);
    const std::string answer = m.Answer("CR09", 0);
    ASSERT_EQ(answer.size(), 4 + 512 + 2u);
    EXPECT_FALSE(CharImageChecksumOk(CharImageFromHex(answer.c_str() + 4)));
    EXPECT_EQ(answer.substr(4, 510), CharImageToHex(EncodeCharImage(rec)).substr(0, 510));
    EXPECT_TRUE(CharImageChecksumOk(m.SlotImage(9)));  // the memory itself is whole

    m.SetFaults(SimAnswerFaults());
    EXPECT_TRUE(CharImageChecksumOk(CharImageFromHex(m.Answer("CR09", 0).c_str() + 4)));

    // A slot whose bytes do not add up reads as no record.
    SimMeter::Image broken = EncodeCharImage(rec);
    broken[0] ^= 1;
    m.SetSlotImage(9, broken);
    EXPECT_EQ(m.SlotRecord(9).valid, 0);
}

TEST(SimMeterAnswers, ServiceWritesChangeWhatIsReadAfter) {
    SimMeter m;
    EXPECT_EQ(m.Answer("DW1003", 0), "DW1003\r\n");
    EXPECT_EQ(m.State().startupYear, 2010);
    EXPECT_EQ(m.State().startupMonth, 3);
    EXPECT_EQ(m.Answer("DR", 0), "DR1003\r\n");

    EXPECT_EQ(m.Answer("SW0123", 0), "SW0123\r\n");
    EXPECT_EQ(m.Answer("SR", 0), "SR0123\r\n");

    EXPECT_EQ(m.Answer("KW0000C03F", 0), "KW0000C03F\r\n");  // 1.5
    EXPECT_DOUBLE_EQ(m.State().electrodeCoefficient, 1.5);
    EXPECT_EQ(m.Answer("KR", 0), "KR0000C03F\r\n");
    EXPECT_EQ(m.Answer("KW0000", 0), "KW00000000\r\n");  // missing digits read as 0
    EXPECT_DOUBLE_EQ(m.State().electrodeCoefficient, 0.0);

    EXPECT_EQ(m.Answer("VWC", 0), "VWC\r\n");
    EXPECT_EQ(m.Answer("VR", 0), "KV-607C 1.3\r\n");
}
