#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <ostream>
#include <string>

#include "session/meter_session.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"
#include "support/sample_records.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/grab_util.h"

// A simulated meter with demo characteristics, a meter session connected to it
// with fast timing, and scripted prompts.
class CharDialogTest : public ::testing::Test {
protected:
    void SetUp() override { StartMeter(20); }

    void StartMeter(int slotCount, bool connect = true) {
        session.reset();
        meter = std::make_unique<testsupport::SimulatedMeter>();
        FillDemoCharacteristics(sim(), std::min<int>(slotCount, MeterSimulator::kSlots));
        sim().ModifyState([slotCount](SimMeterState& s) { s.slotCount = slotCount; });
        session = std::make_unique<MeterSession>();
        session->SetTiming(testsupport::FastTiming());
        if (!connect) return;
        ASSERT_TRUE(session->Connect(meter->port()));
        ASSERT_TRUE(session->WaitForLink(5000));
        ASSERT_TRUE(testsupport::WaitFor([&] { return session->SlotCount() >= 0; }, 5000));
        sim().ClearReceived();
    }

    void TearDown() override {
        session.reset();
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
    std::unique_ptr<MeterSession> session;
};
