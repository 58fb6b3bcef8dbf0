// The polling thread: rhythm, status, recovery from silence and from a vanished
// device, disconnecting and the RTS rule.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "support/sim_fixture.h"

using testsupport::DriverWithSim;
using testsupport::ElapsedMs;
using testsupport::FastTiming;
using testsupport::SimulatedMeter;
using testsupport::WaitFor;

TEST_F(DriverWithSim, FirstCycleFillsEveryRecordFromTheMeter) {
    sim().ModifyState([](SimMeterState& s) {
        s.model = "KV-608";
        s.versionLetter = 'C';
        s.serialNumber = 1234;
        s.startupYear = 2011;
        s.startupMonth = 12;
        s.lowSupplyVoltage = true;
        s.temperature = -2.0;
        s.slotCount = 33;
    });
    ConnectAndWait();
    MeterIdentity id;
    SerialNumberData sn;
    StartupDate date;
    MeterCondition cond;
    TemperatureReading t;
    CharacteristicCount count;
    ServiceData sd;
    EXPECT_TRUE(driver->GetIdentity(id));
    EXPECT_TRUE(driver->GetSerialNumber(sn));
    EXPECT_TRUE(driver->GetStartupDate(date));
    EXPECT_TRUE(driver->GetCondition(cond));
    EXPECT_TRUE(driver->GetTemperature(t));
    EXPECT_TRUE(driver->GetCharacteristicCount(count));
    driver->GetServiceData(sd);
    EXPECT_STREQ(id.model, "KV-608");
    EXPECT_EQ(id.versionLetter, 'C');
    EXPECT_EQ(sn.serialNumber, 1234);
    EXPECT_EQ(date.year, 2011);
    EXPECT_EQ(date.month, 12);
    EXPECT_TRUE(cond.lowSupplyVoltage);
    EXPECT_FALSE(cond.startupDataError);
    EXPECT_DOUBLE_EQ(t.temperature, -2.0);
    EXPECT_EQ(count.count, 33);
    EXPECT_FALSE(sd.valid);  // service data is not polled while its display is off
    const auto lines = sim().ReceivedLines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6),
              (std::vector<std::string>{"VR", "ST", "SR", "DR", "TR", "CN"}));
}

TEST_F(DriverWithSim, RhythmFollowsTheLastAcceptedLineAndTheServiceData) {
    DriverTiming t = FastTiming();
    t.idleMs = 400;
    t.cycleSleepMs = 100;
    driver->SetTiming(t);
    ConnectAndWait();

    // Service data off: a cycle only once the meter has been quiet for idleMs.
    sim().ClearReceived();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const size_t quietCycles = sim().CountReceived("VR");
    EXPECT_GE(quietCycles, 2u);
    EXPECT_LE(quietCycles, 4u);
    EXPECT_EQ(sim().CountReceived("SD"), 0u);

    // A meter that talks on its own postpones the cycles.
    SimFaults f;
    f.unsolicitedEveryMs = 100;
    sim().SetFaults(f);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sim().ClearReceived();
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(sim().CountReceived("VR"), 0u);
    sim().ClearFaults();

    // Service data on: one cycle per pass with "SD", a short pause between.
    driver->SetServiceDataOn(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sim().ClearReceived();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // One "SD" per cycle: the counts differ by at most the cycle under way at
    // either end of the window.
    const int vrCount = static_cast<int>(sim().CountReceived("VR"));
    const int sdCount = static_cast<int>(sim().CountReceived("SD"));
    EXPECT_GE(sdCount, 5);
    EXPECT_LE(std::abs(sdCount - vrCount), 1) << "SD " << sdCount << ", VR " << vrCount;
    ServiceData sd;
    driver->GetServiceData(sd);
    EXPECT_TRUE(sd.valid);
    EXPECT_STREQ(sd.text, "S0000000");
}

TEST_F(DriverWithSim, SilenceGivesStatus3AndTheMeterRecovers) {
    ConnectAndWait();
    driver->SetServiceDataOn(true);
    SimFaults f;
    f.silent = true;
    sim().SetFaults(f);
    const DriverTiming t = FastTiming();
    EXPECT_TRUE(
        WaitFor([&] { return !driver->LinkUp(); }, 2 * t.attempts * t.replyTimeoutMs + 500));
    // The records keep their last values.
    SerialNumberData sn;
    EXPECT_FALSE(driver->GetSerialNumber(sn));
    EXPECT_TRUE(sn.valid);
    sim().ClearFaults();
    EXPECT_TRUE(WaitFor([&] { return driver->LinkUp(); }, t.attempts * t.replyTimeoutMs + 1000));
}

TEST_F(DriverWithSim, DisconnectWhileSilentReturnsPromptly) {
    ConnectAndWait();
    driver->SetServiceDataOn(true);
    SimFaults f;
    f.silent = true;
    sim().SetFaults(f);
    driver->SetTiming(DriverTiming{});                             // real one-second time-outs
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // mid-way through the attempts
    const auto start = std::chrono::steady_clock::now();
    driver->Disconnect();
    EXPECT_LT(ElapsedMs(start), 1000);
    MeterIdentity id;
    MeterCondition cond;
    driver->GetIdentity(id);
    driver->GetCondition(cond);
    EXPECT_FALSE(id.valid);
    EXPECT_FALSE(cond.valid);
    EXPECT_EQ(driver->GetLastLineTime(), 0);
}

TEST_F(DriverWithSim, UnpluggedDeviceIsReopenedWhenItComesBack) {
    ConnectAndWait();
    driver->SetServiceDataOn(true);
    sim().Unplug();
    EXPECT_TRUE(WaitFor([&] { return !driver->LinkUp(); }, 2000));
    EXPECT_FALSE(driver->IsConnected());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // several failed reopens
    EXPECT_FALSE(driver->LinkUp());
    ASSERT_TRUE(sim().Replug());
    EXPECT_TRUE(WaitFor([&] { return driver->LinkUp(); }, 3000));
    EXPECT_TRUE(driver->IsConnected());
    // Commands work on the new device.
    sim().ModifyState([](SimMeterState& s) { s.serialNumber = 777; });
    EXPECT_TRUE(driver->ReadSerialNumber());
    SerialNumberData sn;
    driver->GetSerialNumber(sn);
    EXPECT_EQ(sn.serialNumber, 777);
}

TEST_F(DriverWithSim, ExchangeOnAVanishedDeviceFailsAtOnce) {
    DriverTiming t = FastTiming();
    t.replyTimeoutMs = 1000;
    driver->SetTiming(t);
    ConnectAndWait();
    sim().Unplug();
    ASSERT_TRUE(WaitFor([&] { return !driver->IsConnected(); }, 2000));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(driver->ReadSerialNumber());
    EXPECT_LT(ElapsedMs(start), 300);
    sim().Replug();
}

TEST(DriverRts, OldKv606IsDrivenWithRtsOff) {
    struct Case {
        const char* model;
        int major;
        int expectedRts;
    } cases[] = {{"KV-606", 1, 0}, {"KV-606", 2, 1}, {"KV-607", 1, 1}};
    for (const Case& c : cases) {
        SimMeterState s;
        s.model = c.model;
        s.versionMajor = c.major;
        SimulatedMeter meter(s);
        Ckv60xDriver d;
        d.SetTiming(FastTiming());
        ASSERT_TRUE(d.Connect(meter.port()));
        ASSERT_TRUE(WaitFor([&] { return d.LinkUp(); }, 3000));
        EXPECT_EQ(d.PortRtsControl(), c.expectedRts) << c.model << " " << c.major;
    }
}

TEST_F(DriverWithSim, CommandsOfOtherThreadsGoBeforeFurtherPollingPasses) {
    // The polling commands go unanswered, pass after pass; the coefficient
    // command is answered. Each call must wait at most for the polling
    // exchange under way, not for several more passes.
    DriverTiming t = FastTiming();
    driver->SetTiming(t);
    ConnectAndWait();
    SimFaults f;
    f.silentCommands = {"VR", "ST", "SR", "DR", "TR", "CN"};
    sim().SetFaults(f);
    ASSERT_TRUE(WaitFor([&] { return !driver->LinkUp(); }, 5000));
    const int oneFailedExchangeMs = t.attempts * t.replyTimeoutMs;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ElectrodeCoefficient c;
        EXPECT_TRUE(driver->ReadElectrodeCoefficient(c)) << "call " << i;
        EXPECT_LT(ElapsedMs(start), oneFailedExchangeMs + 400) << "call " << i;
        std::this_thread::sleep_for(std::chrono::milliseconds(37 * i));
    }
}
