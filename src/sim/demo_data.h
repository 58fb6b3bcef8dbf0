#pragma once

#include <cstdint>

#include "records/char_rec_data.h"

class MeterSimulator;

// The sample material characteristics of the demo meter: grains, wood and
// building materials in turn, texts in code page 1250 as the meter keeps them.

// The sample stored in slot `slot` (0..255) of a memory of `count` slots; saved
// (count - slot) hours before `now` (seconds since 1970-01-01 UTC).
CharRecData DemoCharacteristic(int slot, int count, int32_t now);

// Fills slots 0..count-1 with the samples (saved before the present time) and
// sets the slot count.
void FillDemoCharacteristics(MeterSimulator& sim, int count);
