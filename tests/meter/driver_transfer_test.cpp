// Characteristic transfer and the service commands against the simulated meter;
// the bytes sent are checked in the simulator's record of received lines.

#include <gtest/gtest.h>

#include <algorithm>

#include "meter/char_image.h"
#include "support/sample_records.h"
#include "support/sim_fixture.h"

using testsupport::DriverWithSim;
using testsupport::FastTiming;
using testsupport::SampleRecord;
using testsupport::WaitFor;

namespace {

class TransferTest : public DriverWithSim {
protected:
    void SetUp() override {
        DriverWithSim::SetUp();
        sim().ModifyState([](SimMeterState& s) { s.slotCount = 5; });
        ConnectAndWait();
        sim().ClearReceived();
    }
};

}  // namespace

TEST_F(TransferTest, WriteThenReadRoundTripsThroughTheMeter) {
    const CharRecData rec = SampleRecord(3);
    ASSERT_TRUE(driver->WriteCharacteristic(rec));
    EXPECT_TRUE(sim().SlotImage(3) == EncodeCharImage(rec));
    const auto lines = sim().ReceivedLines();
    auto header = std::find(lines.begin(), lines.end(), "CW03");
    ASSERT_NE(header, lines.end());
    ASSERT_NE(header + 1, lines.end());
    EXPECT_EQ(*(header + 1) + "\r\n", BuildCharDataLine(rec));

    CharRecData back;
    ASSERT_TRUE(driver->ReadCharacteristic(3, back));
    EXPECT_TRUE(back == rec);
    EXPECT_EQ(sim().CountReceived("CR03"), 1u);
}

TEST_F(TransferTest, ErasedSlotReadsAsAnEmptyRecord) {
    CharRecData back;
    const int32_t before = static_cast<int32_t>(std::time(nullptr));
    ASSERT_TRUE(driver->ReadCharacteristic(4, back));
    EXPECT_EQ(back.valid, 1);
    EXPECT_EQ(back.ENABLE, 0);
    EXPECT_EQ(back.ACTIVE, 2);
    EXPECT_GE(back.SAVE_TIME, before);
    EXPECT_EQ(sim().CountReceived("CR04"), 1u);
}

TEST_F(TransferTest, BadChecksumIsAskedAgainThenRefusedNeverAnEmptyRecord) {
    sim().SetSlotRecord(1, SampleRecord(1));
    const CharImage good = EncodeCharImage(SampleRecord(1));

    // One spoiled answer: the next sending brings the record.
    SimFaults f;
    f.badChecksumSlots = {1};
    f.badChecksumLimit = 1;
    sim().SetFaults(f);
    CharRecData back;
    CharReadReport report;
    ASSERT_TRUE(driver->ReadCharacteristic(1, back, &report));
    EXPECT_TRUE(back == SampleRecord(1));
    EXPECT_EQ(sim().CountReceived("CR01"), 2u);
    EXPECT_EQ(report.fault, CharReadReport::Fault::None);
    EXPECT_EQ(report.attempts, 2);
    EXPECT_TRUE(report.image == good);  // the bytes the meter holds, as they came

    // Every answer spoiled: a failure after the four sendings; the caller's block
    // is untouched and the report names what came.
    f.badChecksumLimit = -1;
    sim().SetFaults(f);
    sim().ClearReceived();
    CharRecData untouched = SampleRecord(4);
    ASSERT_FALSE(driver->ReadCharacteristic(1, untouched, &report));
    EXPECT_TRUE(untouched == SampleRecord(4));
    EXPECT_EQ(sim().CountReceived("CR01"), 4u);
    EXPECT_EQ(report.fault, CharReadReport::Fault::BadChecksum);
    EXPECT_EQ(report.slot, 1);
    EXPECT_EQ(report.answeredSlot, 1);
    EXPECT_EQ(report.expectedChecksum, good[255]);
    EXPECT_EQ(report.receivedChecksum, static_cast<uint8_t>(good[255] + 0x55));
    EXPECT_EQ(CharReadFailureText(report),
              QString::asprintf("Nie można odczytać charakterystyki nr 2 - błędna suma kontrolna "
                                "(odebrana %02X, obliczona %02X)",
                                report.receivedChecksum, report.expectedChecksum));

    // Other slots are not affected.
    ASSERT_TRUE(driver->ReadCharacteristic(3, back));
}

TEST_F(TransferTest, AnswerForAnotherSlotIsAFailedAttempt) {
    sim().SetSlotRecord(2, SampleRecord(2));
    sim().SetSlotRecord(3, SampleRecord(3));
    SimFaults f;
    f.wrongSlotAnswers = 2;  // CR02 is answered twice as CR03
    sim().SetFaults(f);
    CharRecData back;
    CharReadReport report;
    ASSERT_TRUE(driver->ReadCharacteristic(2, back, &report));
    EXPECT_TRUE(back == SampleRecord(2));
    EXPECT_EQ(back.REC_NUMBER, 2);
    EXPECT_EQ(sim().CountReceived("CR02"), 3u);
    EXPECT_EQ(report.attempts, 3);

    f.wrongSlotAnswers = 100;
    sim().SetFaults(f);
    CharRecData untouched;
    ASSERT_FALSE(driver->ReadCharacteristic(2, untouched, &report));
    EXPECT_EQ(untouched.valid, 0);
    EXPECT_EQ(report.fault, CharReadReport::Fault::WrongSlot);
    EXPECT_EQ(report.answeredSlot, 3);
    EXPECT_EQ(CharReadFailureText(report),
              QStringLiteral("Nie można odczytać charakterystyki nr 3 - miernik odesłał "
                             "charakterystykę nr 4"));
}

TEST_F(TransferTest, SilentMeterFailsTheReadWithTheUsualMessage) {
    SimFaults f;
    f.silentLines = {"CR02"};
    sim().SetFaults(f);
    CharRecData back;
    CharReadReport report;
    EXPECT_FALSE(driver->ReadCharacteristic(2, back, &report));
    EXPECT_EQ(sim().CountReceived("CR02"), 4u);
    EXPECT_EQ(report.fault, CharReadReport::Fault::NoAnswer);
    EXPECT_EQ(report.answeredSlot, -1);
    EXPECT_EQ(CharReadFailureText(report), QStringLiteral("Nie można odczytać ustawień"));
    // Without a port nothing is sent and the read fails at once.
    Ckv60xDriver idle;
    EXPECT_FALSE(idle.ReadCharacteristic(0, back, &report));
    EXPECT_EQ(report.attempts, 1);
}

TEST_F(TransferTest, OutOfRangeOrInvalidBlocksSendNothing) {
    CharRecData rec = SampleRecord(5);  // the meter reported 5 slots: 0..4
    EXPECT_FALSE(driver->WriteCharacteristic(rec));
    rec = SampleRecord(2);
    rec.valid = 0;
    EXPECT_TRUE(driver->WriteCharacteristic(rec));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sim().CountReceived("CW"), 0u);
    EXPECT_TRUE(sim().SlotRecord(2).valid == 0);
}

TEST_F(TransferTest, RefusedHeaderOrDataFailsAfterOneSending) {
    SimFaults f;
    f.refuseCharHeader = true;
    sim().SetFaults(f);
    EXPECT_FALSE(driver->WriteCharacteristic(SampleRecord(1)));
    EXPECT_EQ(sim().CountReceived("CW01"), 1u);
    EXPECT_EQ(sim().ReceivedLines().back(), "CW01");  // the data line was not sent

    f = SimFaults();
    f.refuseCharData = true;
    sim().SetFaults(f);
    EXPECT_FALSE(driver->WriteCharacteristic(SampleRecord(1)));
    EXPECT_EQ(sim().CountReceived("CW01"), 2u);
    EXPECT_EQ(sim().SlotRecord(1).valid, 0);
}

TEST_F(TransferTest, NoPollingExchangeSlipsBetweenHeaderAndData) {
    driver->SetServiceDataOn(true);  // poll continuously
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(driver->WriteCharacteristic(SampleRecord(i % 5)));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));  // room for a polling pass
    }
    const auto lines = sim().ReceivedLines();
    int headers = 0;
    for (size_t k = 0; k + 1 < lines.size(); ++k) {
        if (lines[k].size() == 4 && lines[k].compare(0, 2, "CW") == 0) {
            ++headers;
            EXPECT_EQ(lines[k + 1].size(), 512u) << "after " << lines[k];
        }
    }
    EXPECT_EQ(headers, 8);
    EXPECT_GT(sim().CountReceived("SD"), 0u);  // polling did run meanwhile
}

TEST_F(TransferTest, StartupDateIsWrittenThenReadBack) {
    sim().ModifyState([](SimMeterState& s) {
        s.startupYear = 2008;
        s.startupMonth = 1;
    });
    ASSERT_TRUE(driver->ReadStartupDate());
    sim().ClearReceived();
    ASSERT_TRUE(driver->WriteStartupDate(2009, 8));
    EXPECT_EQ(sim().ReceivedLines(), (std::vector<std::string>{"DW0908", "DR"}));
    StartupDate d;
    driver->GetStartupDate(d);
    EXPECT_EQ(d.year, 2009);
    EXPECT_EQ(d.month, 8);
    // The same date again sends nothing.
    sim().ClearReceived();
    EXPECT_TRUE(driver->WriteStartupDate(2009, 8));
    EXPECT_TRUE(sim().ReceivedLines().empty() || sim().CountReceived("DW") == 0);
}

TEST_F(TransferTest, SerialNumberAndLetter) {
    EXPECT_TRUE(driver->WriteSerialNumber(17));  // unchanged: nothing sent
    EXPECT_EQ(sim().CountReceived("SW"), 0u);
    ASSERT_TRUE(driver->WriteSerialNumber(12345));
    EXPECT_EQ(sim().CountReceived("SW12345"), 1u);
    EXPECT_EQ(sim().State().serialNumber, 12345);

    ASSERT_TRUE(driver->WriteVersionLetter('B'));
    EXPECT_EQ(sim().CountReceived("VWB"), 1u);
    MeterIdentity id;
    driver->GetIdentity(id);
    EXPECT_EQ(id.versionLetter, 'B');  // re-read at once
    ASSERT_TRUE(driver->WriteVersionLetter(' '));
    EXPECT_EQ(sim().CountReceived("VW "), 1u);
}

TEST_F(TransferTest, UnconfirmedLetterFailsWithoutReadingIdentity) {
    SimFaults f;
    f.silentCommands = {"VW"};
    sim().SetFaults(f);
    const DriverTiming t = FastTiming();
    DriverTiming quiet = t;
    quiet.idleMs = 60000;  // keep the polling out of the count
    driver->SetTiming(quiet);
    sim().ClearReceived();
    EXPECT_FALSE(driver->WriteVersionLetter('Z'));
    EXPECT_EQ(sim().CountReceived("VWZ"), 4u);
    EXPECT_EQ(sim().CountReceived("VR"), 0u);
}

TEST_F(TransferTest, ElectrodeCoefficient) {
    sim().ModifyState([](SimMeterState& s) { s.electrodeCoefficient = 2.5; });
    ElectrodeCoefficient k;
    ASSERT_TRUE(driver->ReadElectrodeCoefficient(k));
    EXPECT_TRUE(k.valid);
    EXPECT_DOUBLE_EQ(k.coefficient, 2.5);
    EXPECT_TRUE(driver->WriteElectrodeCoefficient(2.5));  // unchanged
    EXPECT_EQ(sim().CountReceived("KW"), 0u);
    ASSERT_TRUE(driver->WriteElectrodeCoefficient(1.0));
    EXPECT_EQ(sim().CountReceived("KW0000803F"), 1u);
    EXPECT_DOUBLE_EQ(sim().State().electrodeCoefficient, 1.0);
    // The value read stays until the next read, but no longer counts as the
    // meter's: writing it back is sent, not skipped as unchanged.
    driver->GetElectrodeCoefficient(k);
    EXPECT_DOUBLE_EQ(k.coefficient, 2.5);
    EXPECT_FALSE(k.valid);
    ASSERT_TRUE(driver->WriteElectrodeCoefficient(2.5));
    EXPECT_EQ(sim().CountReceived("KW"), 2u);
    EXPECT_DOUBLE_EQ(sim().State().electrodeCoefficient, 2.5);
}
