// kv60x-sim: a simulated KV-60x meter on a pseudo-terminal (or a real serial
// device), for trying the program without hardware.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <thread>

#include "sim/demo_data.h"
#include "sim/meter_simulator.h"
#include "sim_options.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("kv60x-sim");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated KV-60x moisture meter. Prints the device path to connect to and answers "
        "the meter's commands until interrupted.");
    parser.addHelpOption();
    parser.addOptions({
        {"link", "Path of the stable link to the pseudo-terminal.", "path"},
        {"device", "Serve a real serial device instead (null-modem cable).", "path"},
        {"log", "Print every command received."},
    });
    AddSimulatorOptions(parser);
    parser.process(app);

    SimMeterState state;
    SimFaults faults;
    int sampleSlots = 0;
    QString error;
    if (!ReadSimulatorOptions(parser, state, faults, sampleSlots, error)) {
        std::fprintf(stderr, "kv60x-sim: %s\n", qPrintable(error));
        return 2;
    }
    MeterSimulator sim(state);
    sim.SetFaults(faults);
    if (sampleSlots > 0) FillDemoCharacteristics(sim, sampleSlots);
    const bool ok = parser.isSet("device") ? sim.StartOnDevice(parser.value("device").toStdString())
                                           : sim.Start(parser.value("link").toStdString());
    if (!ok) {
        std::fprintf(stderr, "kv60x-sim: cannot open the line\n");
        return 1;
    }
    std::printf("%s\n", sim.LinkPath().c_str());
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    size_t shown = 0;
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (parser.isSet("log")) {
            const auto lines = sim.ReceivedLines();
            for (; shown < lines.size(); ++shown) std::printf("<- %s\n", lines[shown].c_str());
            std::fflush(stdout);
        }
    }
    sim.Stop();
    return 0;
}
