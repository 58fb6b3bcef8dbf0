// The meter's device pulled and re-inserted 100 times at random moments: during
// characteristic reads and writes and during polling. The driver must recover
// every time, and no operation may hang.

#include <gtest/gtest.h>

#include <future>
#include <random>

#include "sim/demo_data.h"
#include "support/sim_fixture.h"

using testsupport::DriverWithSim;
using testsupport::FastTiming;
using testsupport::WaitFor;

TEST_F(DriverWithSim, RecoversFromAHundredUnplugs) {
    FillDemoCharacteristics(sim(), 10);
    ConnectAndWait();
    driver->SetServiceDataOn(true);
    std::mt19937 rng(4242);
    const DriverTiming t = FastTiming();
    const int opBoundMs = 3 * t.attempts * t.replyTimeoutMs + 1000;
    for (int round = 0; round < 100; ++round) {
        const int kind = static_cast<int>(rng() % 3);
        const int slot = static_cast<int>(rng() % 10);
        std::future<bool> op = std::async(std::launch::async, [&, kind, slot] {
            CharRecData rec;
            if (kind == 0) return driver->ReadCharacteristic(slot, rec);
            if (kind == 1) {
                rec = sim().SlotRecord(slot);
                rec.REC_NUMBER = static_cast<uint8_t>(slot);
                rec.valid = 1;
                return driver->WriteCharacteristic(rec);
            }
            return driver->ReadTemperature();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 40));
        sim().Unplug();
        ASSERT_EQ(op.wait_for(std::chrono::milliseconds(opBoundMs)), std::future_status::ready)
            << "round " << round;
        op.get();
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 120));
        ASSERT_TRUE(sim().Replug());
        ASSERT_TRUE(
            WaitFor([&] { return driver->LinkUp() && driver->IsConnected(); }, opBoundMs + 2000))
            << "no recovery in round " << round;
    }
    // And it still talks: a read after the storm gets the meter's record.
    CharRecData rec;
    ASSERT_TRUE(driver->ReadCharacteristic(3, rec));
    EXPECT_TRUE(rec == sim().SlotRecord(3));
}
