// The simulated meter leaves chosen command lines unanswered.

#include <gtest/gtest.h>

#include "sim/demo_data.h"
#include "support/sim_fixture.h"

using testsupport::DriverWithSim;

TEST_F(DriverWithSim, SilentLineIsLeftUnansweredAndOtherSlotsStillAnswer) {
    FillDemoCharacteristics(sim(), 8);
    ConnectAndWait();
    SimFaults f;
    f.silentLines = {"CR05"};
    sim().SetFaults(f);
    sim().ClearReceived();
    CharRecData rec;
    EXPECT_FALSE(driver->ReadCharacteristic(5, rec));
    EXPECT_EQ(sim().CountReceived("CR05"), static_cast<size_t>(testsupport::FastTiming().attempts));
    EXPECT_TRUE(driver->ReadCharacteristic(4, rec));
    EXPECT_EQ(rec.REC_NUMBER, 4);
    EXPECT_TRUE(rec == sim().SlotRecord(4));
}
