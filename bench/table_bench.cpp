// A full table of characteristics read from and written back to the simulated
// meter paced at 9600 baud (11 bits per byte): measured time against the wire
// time of the bytes exchanged (plus, for writing, the pauses between the two
// lines of each write).
//
//   build/bench/kv60x_bench_table [SLOT_COUNT]

#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "meter/kv60x_driver.h"
#include "serial/port_names.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"

namespace {
double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}
}  // namespace

int main(int argc, char** argv) {
    const int slotCount = argc > 1 ? std::atoi(argv[1]) : 150;
    MeterSimulator sim;
    FillDemoCharacteristics(sim, slotCount);
    if (!sim.Start()) return 1;
    RegisterPortDevice(242, QString::fromStdString(sim.LinkPath()));
    Ckv60xDriver driver;
    DriverTiming t;
    t.idleMs = 24 * 3600 * 1000;  // keep the polling out of the measurement
    driver.SetTiming(t);
    if (!driver.Connect(242)) return 1;
    while (!driver.LinkUp()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    SimFaults f;
    f.wireSpeed = true;
    sim.SetFaults(f);

    std::vector<CharRecData> table(static_cast<size_t>(slotCount));
    uint64_t in0 = sim.BytesReceived(), out0 = sim.BytesSent();
    auto start = std::chrono::steady_clock::now();
    int failures = 0;
    for (int i = 0; i < slotCount; ++i)
        failures += !driver.ReadCharacteristic(i, table[static_cast<size_t>(i)]);
    double measured = Seconds(start);
    uint64_t bytes = (sim.BytesReceived() - in0) + (sim.BytesSent() - out0);
    double wire = bytes * 11.0 / 9600.0;
    std::printf("read %d slots: %.3f s, wire %.3f s, ratio %.4f, failed %d\n", slotCount, measured,
                wire, measured / wire, failures);

    in0 = sim.BytesReceived();
    out0 = sim.BytesSent();
    start = std::chrono::steady_clock::now();
    int writeFailures = 0;
    for (auto& rec : table) writeFailures += !driver.WriteCharacteristic(rec);
    measured = Seconds(start);
    bytes = (sim.BytesReceived() - in0) + (sim.BytesSent() - out0);
    wire = bytes * 11.0 / 9600.0;
    const double pauses = slotCount * t.charWritePauseMs / 1000.0;
    std::printf("write %d slots: %.3f s, wire %.3f s + pauses %.3f s, ratio %.4f, failed %d\n",
                slotCount, measured, wire, pauses, measured / (wire + pauses), writeFailures);
    driver.Disconnect();
    return failures + writeFailures == 0 ? 0 : 1;
}
