#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "meter/kv60x_driver.h"
#include "session/meter_session.h"
#include "sim/meter_simulator.h"

namespace testsupport {

// Timing for fast tests: short time-outs and pauses, same structure as the real ones.
DriverTiming FastTiming();

// Milliseconds since a point in time.
int64_t ElapsedMs(std::chrono::steady_clock::time_point since);

// Polls cond every 5 ms until it holds or timeoutMs passes; true when it held.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs);

// A started simulated meter registered under its own COM number.
class SimulatedMeter {
public:
    explicit SimulatedMeter(const SimMeterState& state = SimMeterState());
    ~SimulatedMeter();
    MeterSimulator& sim() { return *m_sim; }
    int port() const { return m_port; }

private:
    std::unique_ptr<MeterSimulator> m_sim;
    int m_port = 0;
};

// A simulated meter with a connected driver using FastTiming.
class DriverWithSim : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Connects and waits for the first complete polling cycle.
    void ConnectAndWait();

    std::unique_ptr<SimulatedMeter> meter;
    std::unique_ptr<Ckv60xDriver> driver;
    MeterSimulator& sim() { return meter->sim(); }
};

// A simulated meter and a session for it using FastTiming (not connected
// until ConnectAndWait).
class SessionWithSim : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Connects and waits for the first complete polling cycle.
    void ConnectAndWait();

    std::unique_ptr<SimulatedMeter> meter;
    std::unique_ptr<MeterSession> session;
    MeterSimulator& sim() { return meter->sim(); }
};

}  // namespace testsupport
