#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "session/meter_session.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/grab_util.h"

// A calibration as a meter holds it (single-precision numbers): tiny
// coefficients, many decimals, a name padded with spaces, a code shorter than its
// field, a date not set, and a point left beyond the count.
inline CharRecData FineMeterRecord(int slot) {
    auto f = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    CharRecData r;
    r.REC_NUMBER = static_cast<uint8_t>(slot);
    r.ENABLE = 1;
    r.COMPENSATION = 1;
    r.METHOD = 1;
    r.ACTIVE = 4;
    const double rh[] = {12.3456, 14.98765, 17.123456, 25.5};
    const double v[] = {101.234567, 98.7654321, 90.000001, 61.25};
    for (int i = 0; i < 4; ++i) {
        r.RH[i] = f(rh[i]);
        r.VALUE[i] = f(v[i]);
    }
    r.RH[6] = 3.25;
    r.VALUE[6] = f(-1.0 / 3.0);
    r.COMPENS[0] = f(0.5123456);
    r.COMPENS[1] = f(-0.0123456789);
    r.COMPENS[2] = f(1.234567e-6);
    r.COMPENS[3] = f(1.5e-8);
    std::memcpy(r.NAME, "Pszenica  ", 10);
    std::memcpy(r.CODE, "PS", 2);
    std::memcpy(r.DESC, "Ziarno suche", 12);
    std::memcpy(r.CERTIFICATE, "SW/1/2009      ", 15);
    r.CREATE_TIME = 0;
    r.SAVE_TIME = 1300000000;
    r.valid = 1;
    return r;
}

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
