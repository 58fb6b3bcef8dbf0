#include "sim/demo_data.h"

#include <cstdio>
#include <ctime>

#include "sim/meter_simulator.h"

namespace {

// Names in code page 1250, as the meter keeps them.
struct Sample {
    const char* code;
    const char* name;
    const char* desc;
    int method;
    double rh0, rh1, v0, v1;
};
const Sample kSamples[] = {
    {"PSZ", "Pszenica  ", "Ziarno pszenicy ozimej                  ", 1, 10, 30, 0.12, 0.95},
    {"ZYT", "\xAFyto      ", "Ziarno \xBFyta                              ", 1, 9, 28, 0.10, 0.90},
    {"KUK", "Kukurydza ", "Kukurydza suszona                       ", 1, 12, 35, 0.15, 1.20},
    {"JCZ",
     "J\xEA"
     "czmie\xF1  ",
     "J\xEA"
     "czmie\xF1 browarny                       ",
     1, 10, 25, 0.11, 0.80},
    {"SOS", "Sosna     ", "Drewno sosnowe                          ", 0, 6, 60, 50.0, 1.5},
    {"DAB",
     "D\xB9"
     "b       ",
     "Drewno d\xEA"
     "bowe                           ",
     0, 6, 50, 80.0, 2.0},
    {"BET", "Beton B20 ", "Beton, wilgotno\x9C\xE6 masowa                ", 1, 1, 8, 0.05, 0.60},
    {"CEG",
     "Ceg\xB3"
     "a     ",
     "Ceg\xB3"
     "a ceramiczna pe\xB3"
     "na                  ",
     1, 0.5, 6, 0.04, 0.50},
};
constexpr int kSampleCount = static_cast<int>(sizeof kSamples / sizeof kSamples[0]);

}  // namespace

CharRecData DemoCharacteristic(int slot, int count, int32_t now) {
    const int i = slot & 0xFF;
    const Sample& s = kSamples[i % kSampleCount];
    CharRecData r;
    r.REC_NUMBER = static_cast<uint8_t>(i);
    r.ENABLE = (i % 7 == 6) ? 0 : 1;
    r.METHOD = static_cast<uint8_t>(s.method);
    r.COMPENSATION = (i % 3 == 0) ? 1 : 0;
    r.ACTIVE = static_cast<uint8_t>(5 + i % 6);
    for (int p = 0; p < r.ACTIVE; ++p) {
        const double f = static_cast<double>(p) / (r.ACTIVE - 1);
        r.RH[p] = static_cast<float>(s.rh0 + (s.rh1 - s.rh0) * f);
        // A gently curved, strictly monotonic parameter.
        r.VALUE[p] = static_cast<float>(s.v0 + (s.v1 - s.v0) * (f * 0.7 + f * f * 0.3));
    }
    r.COMPENS[0] = 0.0125;
    r.COMPENS[1] = -0.0003;
    r.COMPENS[2] = 0.0;
    r.COMPENS[3] = 1.0;
    std::snprintf(r.CODE, sizeof r.CODE, "%.3s", s.code);
    std::snprintf(r.NAME, sizeof r.NAME, "%.10s", s.name);
    std::snprintf(r.DESC, sizeof r.DESC, "%.40s", s.desc);
    std::snprintf(r.CERTIFICATE, sizeof r.CERTIFICATE, "SW/%04d/2009   ", 100 + i);
    r.CREATE_TIME = 1250000000 + i * 86400;
    r.SAVE_TIME = now - (count - i) * 3600;
    r.valid = 1;
    return r;
}

void FillDemoCharacteristics(MeterSimulator& sim, int count) {
    const int32_t now = static_cast<int32_t>(std::time(nullptr));
    for (int i = 0; i < count && i < MeterSimulator::kSlots; ++i) {
        sim.SetSlotRecord(i, DemoCharacteristic(i, count, now));
    }
    sim.ModifyState([count](SimMeterState& s) { s.slotCount = count; });
}
