#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <ostream>
#include <string>

#include "meter/kv60x_driver.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/grab_util.h"

// A simulated meter with demo characteristics, a connected driver with fast
// timing, and scripted prompts.
class CharDialogTest : public ::testing::Test {
protected:
    void SetUp() override { StartMeter(20); }

    void StartMeter(int slotCount, bool connect = true) {
        driver.reset();
        meter = std::make_unique<testsupport::SimulatedMeter>();
        FillDemoCharacteristics(sim(), std::min<int>(slotCount, MeterSimulator::kSlots));
        sim().ModifyState([slotCount](SimMeterState& s) { s.slotCount = slotCount; });
        driver = std::make_unique<Ckv60xDriver>();
        driver->SetTiming(testsupport::FastTiming());
        if (!connect) return;
        ASSERT_EQ(driver->Connect(meter->port()), 1);
        ASSERT_TRUE(testsupport::WaitFor(
            [&] {
                CharacteristicCount c;
                driver->GetCharacteristicCount(c);
                return c.valid && driver->GetStatus() == 0;
            },
            5000));
        sim().ClearReceived();
    }

    void TearDown() override {
        driver.reset();
        meter.reset();
    }

    size_t Received(const std::string& line) const {
        const auto lines = meter->sim().ReceivedLines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
    size_t ReceivedPrefix(const std::string& prefix) const {
        return meter->sim().CountReceived(prefix);
    }

    QString TempPath(const QString& name) const { return dir.filePath(name); }

    MeterSimulator& sim() { return meter->sim(); }

    ScopedPrompts prompts;
    QTemporaryDir dir;
    std::unique_ptr<testsupport::SimulatedMeter> meter;
    std::unique_ptr<Ckv60xDriver> driver;
};
