// The command exchange over a real pseudo-terminal: attempts, time-outs, reply
// events, line assembly and bad input.

#include <gtest/gtest.h>

#include <chrono>

#include "support/sim_fixture.h"

using testsupport::DriverWithSim;
using testsupport::ElapsedMs;
using testsupport::FastTiming;
using testsupport::WaitFor;

namespace {

// A driver whose polling is held off (the meter answered recently) so that the
// test's own exchanges are the only traffic.
class ExchangeTest : public DriverWithSim {
protected:
    void SetUp() override {
        DriverWithSim::SetUp();
        DriverTiming t = FastTiming();
        t.idleMs = 60000;
        driver->SetTiming(t);
        ConnectAndWait();
        sim().ClearReceived();
    }
};

}  // namespace

TEST(DriverWithoutPort, EveryOperationFailsAtOnceWithStatus3) {
    Ckv60xDriver d;
    MeterCondition c;
    MeterIdentity id;
    TemperatureReading t;
    EXPECT_FALSE(d.LinkUp());
    EXPECT_FALSE(d.GetCondition(c));
    EXPECT_FALSE(d.GetIdentity(id));
    EXPECT_FALSE(d.GetTemperature(t));
    EXPECT_FALSE(c.valid || id.valid || t.valid);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(d.ReadTemperature());
    EXPECT_FALSE(d.ReadIdentity());
    CharRecData rec;
    EXPECT_FALSE(d.ReadCharacteristic(0, rec));
    EXPECT_FALSE(d.WriteSerialNumber(5));
    EXPECT_LT(ElapsedMs(start), 50);
}

TEST(DriverWithoutPort, MissingDeviceCannotConnect) {
    Ckv60xDriver d;
    EXPECT_FALSE(d.Connect(249));  // nothing registered there
    EXPECT_FALSE(d.LastOpenError().isEmpty());
    d.Disconnect();
    EXPECT_FALSE(d.LinkUp());
}

TEST_F(ExchangeTest, AnswerOnTheThirdSendingSucceeds) {
    SimFaults f;
    f.answerOnNth = 3;
    sim().SetFaults(f);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(driver->ReadSerialNumber());
    const int64_t took = ElapsedMs(start);
    EXPECT_EQ(sim().CountReceived("SR"), 3u);
    EXPECT_GE(took, 2 * FastTiming().replyTimeoutMs - 20);
    EXPECT_LT(took, 3 * FastTiming().replyTimeoutMs);
}

TEST_F(ExchangeTest, NoiseInANumberIsAskedAgainAndNeverStoredAsZero) {
    // Twice a 'Z' in place of a digit, then the true answer.
    SimFaults f;
    f.nonDigitAnswers = {"CN", "SR"};
    f.nonDigitLimit = 2;
    sim().SetFaults(f);
    EXPECT_TRUE(driver->ReadCharacteristicCount());
    EXPECT_EQ(sim().CountReceived("CN"), 3u);
    CharacteristicCount count;
    driver->GetCharacteristicCount(count);
    EXPECT_EQ(count.count, sim().State().slotCount);
    // Noise on every sending: a failure, the count as it was.
    f.nonDigitLimit = -1;
    sim().SetFaults(f);
    sim().ClearReceived();
    EXPECT_FALSE(driver->ReadSerialNumber());
    EXPECT_EQ(sim().CountReceived("SR"), 4u);
    SerialNumberData sn;
    driver->GetSerialNumber(sn);
    EXPECT_EQ(sn.serialNumber, sim().State().serialNumber);
}

TEST_F(ExchangeTest, SilenceFailsAfterFourSendings) {
    SimFaults f;
    f.silent = true;
    sim().SetFaults(f);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(driver->ReadTemperature());
    EXPECT_GE(ElapsedMs(start), 4 * FastTiming().replyTimeoutMs - 20);
    EXPECT_EQ(sim().CountReceived("TR"), 4u);
}

TEST_F(ExchangeTest, RefusalOrWrongKindDoesNotReleaseTheSender) {
    SimFaults f;
    f.silentCommands = {"SR"};
    sim().SetFaults(f);
    // Lines of other kinds and refusals arrive while "SR" waits.
    std::thread noise([&] {
        for (int i = 0; i < 5; ++i) {
            sim().SendRaw("!CZ05\r\n");
            sim().SendRaw("DR0101\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    });
    EXPECT_FALSE(driver->ReadSerialNumber());
    noise.join();
}

TEST_F(ExchangeTest, LateAnswerIsStoredButReleasesNobody) {
    SimFaults f;
    f.lateMs = FastTiming().replyTimeoutMs + 100;
    sim().SetFaults(f);
    sim().ModifyState([](SimMeterState& s) { s.serialNumber = 4321; });
    EXPECT_FALSE(driver->Command("SR", ReplyKind::SerialNumber, false));
    SerialNumberData sn;
    EXPECT_TRUE(WaitFor(
        [&] {
            driver->GetSerialNumber(sn);
            return sn.serialNumber == 4321;
        },
        2000));
    EXPECT_TRUE(sn.valid);
}

TEST_F(ExchangeTest, OverlongLineIsDroppedAndTheNextLineDecodes) {
    sim().SendRaw(std::string(5000, 'Q') + "\r\nSR0042\r\n");
    SerialNumberData sn;
    EXPECT_TRUE(WaitFor(
        [&] {
            driver->GetSerialNumber(sn);
            return sn.serialNumber == 42;
        },
        2000));
    // Exactly 1024 bytes without CR LF: the next byte starts a new line.
    sim().SendRaw(std::string(1024, 'Q') + "SR0043\r\n");
    EXPECT_TRUE(WaitFor(
        [&] {
            driver->GetSerialNumber(sn);
            return sn.serialNumber == 43;
        },
        2000));
}

TEST_F(ExchangeTest, UnknownLineCountsAsSignOfLife) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const int64_t before = driver->GetLastLineTime();
    sim().SendRaw("HELLO\r\n");
    EXPECT_TRUE(WaitFor([&] { return driver->GetLastLineTime() > before; }, 2000));
}

TEST_F(ExchangeTest, GarbageNeverStoresAValueTheMeterDidNotSend) {
    MeterIdentity id0;
    SerialNumberData sn0;
    TemperatureReading t0;
    driver->GetIdentity(id0);
    driver->GetSerialNumber(sn0);
    driver->GetTemperature(t0);
    uint64_t x = 0x1234567;
    std::string noise;
    for (int i = 0; i < 20000; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        char c = static_cast<char>(x);
        if (c == '\n') c = 0;  // no line ends inside the noise
        noise.push_back(c);
    }
    noise += "\r\n";
    sim().SendRaw(noise);
    sim().SendRaw(std::string("\0\0\0\r\n", 5));
    sim().SendRaw("TR");  // a line that never ends
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    MeterIdentity id1;
    SerialNumberData sn1;
    TemperatureReading t1;
    driver->GetIdentity(id1);
    driver->GetSerialNumber(sn1);
    driver->GetTemperature(t1);
    EXPECT_STREQ(id0.model, id1.model);
    EXPECT_EQ(sn0.serialNumber, sn1.serialNumber);
    EXPECT_EQ(t0.temperature, t1.temperature);
    // The unfinished "TR" is thrown away by the purge before the next command.
    EXPECT_TRUE(driver->ReadSerialNumber());
}

TEST_F(ExchangeTest, GarbledAndTruncatedAnswersEndAsTimeOutsNotHangs) {
    SimFaults f;
    f.truncateTo = 3;  // "TRO" + CR LF: too short for a temperature
    sim().SetFaults(f);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(driver->ReadTemperature());
    EXPECT_LT(ElapsedMs(start), 5 * FastTiming().replyTimeoutMs);
    f = SimFaults();
    f.garble = true;
    sim().SetFaults(f);
    for (int i = 0; i < 10; ++i) driver->ReadTemperature();  // answered or not, never stuck
    sim().ClearFaults();
    EXPECT_TRUE(driver->ReadTemperature());
}

TEST_F(ExchangeTest, RealTimeOutsFourSendingsOfOneSecond) {
    driver->SetTiming(DriverTiming{});  // the meter's own timing
    SimFaults f;
    f.silentCommands = {"SR"};
    sim().SetFaults(f);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(driver->ReadSerialNumber());
    const int64_t took = ElapsedMs(start);
    EXPECT_GE(took, 3950);
    EXPECT_LT(took, 4600);
    EXPECT_EQ(sim().CountReceived("SR"), 4u);
}
