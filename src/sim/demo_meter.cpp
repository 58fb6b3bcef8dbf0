#include "sim/demo_meter.h"

#include <QString>

#include "serial/port_names.h"
#include "sim/demo_data.h"

SimMeterState DemoMeterState() {
    SimMeterState state;
    state.temperature = 21.5;
    state.driftAmplitude = 1.5;
    state.driftPeriodS = 180;
    state.slotCount = kDemoSlots;
    return state;
}

std::unique_ptr<MeterSimulator> StartDemoMeter() {
    auto demo = std::make_unique<MeterSimulator>(DemoMeterState());
    if (!demo->Start()) return nullptr;
    FillDemoCharacteristics(*demo, kDemoSlots);
    RegisterPortDevice(kDemoPort, QString::fromStdString(demo->LinkPath()));
    return demo;
}

void StopDemoMeter(std::unique_ptr<MeterSimulator>& demo) {
    if (!demo) return;
    RegisterPortDevice(kDemoPort, QString());
    demo->Stop();
    demo.reset();
}
