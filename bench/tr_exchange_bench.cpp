// N "TR" exchanges against the simulated meter paced at the real wire speed
// (9600 baud, 11 bits per byte). Prints the measured time, the wire time of the
// bytes exchanged and their ratio: what the program adds to the line itself.
//
//   build/bench/kv60x_bench_tr [N]

#include <QString>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "meter/kv60x_driver.h"
#include "serial/port_names.h"
#include "sim/meter_simulator.h"

int main(int argc, char** argv) {
    const int n = argc > 1 ? std::atoi(argv[1]) : 300;
    MeterSimulator sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "cannot start the simulated meter\n");
        return 1;
    }
    RegisterPortDevice(240, QString::fromStdString(sim.LinkPath()));
    Ckv60xDriver driver;
    DriverTiming t;
    t.idleMs = 24 * 3600 * 1000;  // keep the polling out of the measurement
    driver.SetTiming(t);
    if (!driver.Connect(240)) {
        std::fprintf(stderr, "cannot connect\n");
        return 1;
    }
    while (!driver.LinkUp()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    SimFaults f;
    f.wireSpeed = true;
    sim.SetFaults(f);
    const uint64_t in0 = sim.BytesReceived();
    const uint64_t out0 = sim.BytesSent();
    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) failures += !driver.ReadTemperature();
    const double measured =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint64_t bytes = (sim.BytesReceived() - in0) + (sim.BytesSent() - out0);
    const double wire = bytes * 11.0 / 9600.0;
    std::printf("exchanges: %d (failed %d)\n", n, failures);
    std::printf("bytes on the line: %llu\n", static_cast<unsigned long long>(bytes));
    std::printf("measured: %.3f s\nwire time: %.3f s\nratio: %.4f\n", measured, wire,
                measured / wire);
    driver.Disconnect();
    return failures == 0 ? 0 : 1;
}
