// The driver's link state as the window and the command line see it: one
// snapshot per look, no link and no reading right after a change of port, and
// a device that vanishes again the moment it is reopened.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "serial/serial_port.h"
#include "support/sim_fixture.h"

using testsupport::DriverWithSim;
using testsupport::FastTiming;
using testsupport::SimulatedMeter;
using testsupport::WaitFor;

TEST_F(DriverWithSim, SnapshotHoldsTheStatusWithEveryRecordOfThatMoment) {
    MeterSnapshot before = driver->Snapshot();
    EXPECT_FALSE(before.link);
    EXPECT_FALSE(before.temperature.valid);
    EXPECT_EQ(before.cycles, 0u);

    sim().ModifyState([](SimMeterState& s) {
        s.serialNumber = 4321;
        s.temperature = 18.25;
        s.lowSupplyVoltage = true;
        s.slotCount = 42;
    });
    ConnectAndWait();
    const MeterSnapshot m = driver->Snapshot();
    EXPECT_TRUE(m.linkUp());
    EXPECT_GE(m.cycles, 1u);
    EXPECT_TRUE(m.identity.valid && m.serialNumber.valid && m.startupDate.valid &&
                m.condition.valid && m.temperature.valid && m.count.valid);
    EXPECT_EQ(m.serialNumber.serialNumber, 4321);
    EXPECT_DOUBLE_EQ(m.temperature.temperature, 18.25);
    EXPECT_TRUE(m.condition.lowSupplyVoltage);
    EXPECT_EQ(m.count.count, 42);
    EXPECT_FALSE(m.serviceData.valid);  // not polled while its display is off
    EXPECT_STREQ(m.identity.model, "KV-607");

    driver->SetServiceDataOn(true);
    ASSERT_TRUE(WaitFor([&] { return driver->Snapshot().serviceData.valid; }, 3000));
}

TEST_F(DriverWithSim, DisconnectAndConnectLeaveNoLinkAndNoReading) {
    ConnectAndWait();
    ASSERT_TRUE(driver->Snapshot().temperature.valid);

    driver->Disconnect();
    MeterSnapshot m = driver->Snapshot();
    EXPECT_FALSE(m.link);
    EXPECT_FALSE(driver->LinkUp());
    EXPECT_FALSE(m.temperature.valid);
    EXPECT_FALSE(m.identity.valid);
    EXPECT_FALSE(m.condition.valid);

    // Back on the same meter: a link again after a complete cycle.
    ConnectAndWait();
    EXPECT_TRUE(driver->Snapshot().temperature.valid);

    // A port that cannot be opened: no link either, the reading gone.
    EXPECT_FALSE(driver->Connect(199));
    m = driver->Snapshot();
    EXPECT_FALSE(m.link);
    EXPECT_FALSE(m.temperature.valid);
    driver->Disconnect();
}

TEST_F(DriverWithSim, SwitchingMetersNeverShowsTheOldMetersReadingAsLive) {
    // A watcher takes snapshots all the time, as the display does. Once Connect
    // to the second meter has returned, a snapshot with a link must carry the
    // second meter's temperature; a silent second meter gives no link at all.
    sim().ModifyState([](SimMeterState& s) { s.temperature = 10.0; });
    SimMeterState quietState;
    quietState.temperature = 30.0;
    SimulatedMeter other(quietState);
    ConnectAndWait();

    std::atomic<int> phase{0};  // 1: switched to the other meter
    std::atomic<bool> stop{false};
    std::atomic<int> stale{0};
    std::atomic<int> linkedOnSilent{0};
    std::atomic<bool> silent{true};
    std::thread watcher([&] {
        while (!stop) {
            const int p = phase.load();
            const MeterSnapshot m = driver->Snapshot();
            if (p == 1 && m.linkUp()) {
                if (silent) ++linkedOnSilent;
                if (!m.temperature.valid || m.temperature.temperature != 30.0) ++stale;
            }
            std::this_thread::yield();
        }
    });

    SimFaults quiet;
    quiet.silent = true;
    other.sim().SetFaults(quiet);
    driver->Disconnect();
    ASSERT_TRUE(driver->Connect(other.port()));
    phase = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(800));  // several failed passes
    EXPECT_FALSE(driver->LinkUp());

    // The second meter starts answering: its own values, never the first one's.
    silent = false;
    other.sim().ClearFaults();
    EXPECT_TRUE(WaitFor([&] { return driver->Snapshot().linkUp(); }, 5000));
    stop = true;
    watcher.join();
    EXPECT_EQ(linkedOnSilent.load(), 0);
    EXPECT_EQ(stale.load(), 0);
    EXPECT_DOUBLE_EQ(driver->Snapshot().temperature.temperature, 30.0);
}

TEST_F(DriverWithSim, DeviceLostAgainRightAfterItsReopeningIsReopenedAgain) {
    ConnectAndWait();
    // At the moment the vanished device has been opened again and its port
    // thread runs, it vanishes once more and the port reports the loss. That
    // report must not be overwritten by the reopening that is still finishing.
    std::atomic<bool> hookRan{false};
    std::atomic<bool> reportedInHook{false};
    driver->SetReopenHook([&](const CSerialPort& port) {
        sim().Unplug();
        reportedInHook = WaitFor([&] { return port.IsLost(); }, 3000);
        hookRan = true;
    });
    sim().Unplug();
    ASSERT_TRUE(WaitFor([&] { return !driver->LinkUp(); }, 3000));
    ASSERT_TRUE(sim().Replug());
    ASSERT_TRUE(WaitFor([&] { return hookRan.load(); }, 5000));
    ASSERT_TRUE(reportedInHook.load());
    // The device is back for good: the driver must notice the second loss,
    // open it again and talk to the meter.
    ASSERT_TRUE(sim().Replug());
    sim().ClearReceived();
    EXPECT_TRUE(WaitFor([&] { return driver->LinkUp() && driver->IsConnected(); }, 5000));
    EXPECT_GT(sim().CountReceived("VR"), 0u);
}
