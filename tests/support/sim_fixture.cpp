#include "support/sim_fixture.h"

#include <QString>
#include <atomic>

#include "serial/port_names.h"

namespace testsupport {

namespace {
std::atomic<int> g_nextPort{200};
}

DriverTiming FastTiming() {
    DriverTiming t;
    t.replyTimeoutMs = 150;
    t.attempts = 4;
    t.cycleSleepMs = 50;
    t.idleMs = 300;
    t.charWritePauseMs = 20;
    t.reopenIntervalMs = 50;
    return t;
}

int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 since)
        .count();
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return cond();
}

SimulatedMeter::SimulatedMeter(const SimMeterState& state)
    : m_sim(std::make_unique<MeterSimulator>(state)) {
    if (!m_sim->Start()) throw std::runtime_error("cannot start the simulated meter");
    // Numbers 200..249 are free for tests (250 is the demo meter).
    m_port = 200 + (g_nextPort++ - 200) % 50;
    RegisterPortDevice(m_port, QString::fromStdString(m_sim->LinkPath()));
}

SimulatedMeter::~SimulatedMeter() {
    RegisterPortDevice(m_port, QString());
    m_sim->Stop();
}

void DriverWithSim::SetUp() {
    meter = std::make_unique<SimulatedMeter>();
    driver = std::make_unique<Ckv60xDriver>();
    driver->SetTiming(FastTiming());
}

void DriverWithSim::TearDown() {
    driver.reset();
    meter.reset();
}

void DriverWithSim::ConnectAndWait() {
    ASSERT_TRUE(driver->Connect(meter->port())) << driver->LastOpenError().toStdString();
    ASSERT_TRUE(WaitFor([&] { return driver->LinkUp(); }, 5000));
}

void SessionWithSim::SetUp() {
    meter = std::make_unique<SimulatedMeter>();
    session = std::make_unique<MeterSession>();
    session->SetTiming(FastTiming());
}

void SessionWithSim::TearDown() {
    session.reset();
    meter.reset();
}

void SessionWithSim::ConnectAndWait() {
    ASSERT_TRUE(session->Connect(meter->port())) << session->LastOpenError().toStdString();
    ASSERT_TRUE(session->WaitForLink(5000));
}

}  // namespace testsupport
