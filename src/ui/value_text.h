#pragma once

#include <QString>

// Text of the value display, computed without a widget so that it can be tested
// on its own. Numbers always use a full stop as decimal sign, whatever the locale.

// Kinds of quantity the display knows: 1 W/m², 2 kLx, 3 °C, 4 °, 5 hPa, 6 m/s,
// 7 %, 8 ppm. Any other kind draws nothing.
constexpr int kKindIrradiance = 1;
constexpr int kKindIlluminance = 2;
constexpr int kKindTemperature = 3;
constexpr int kKindAngle = 4;
constexpr int kKindPressure = 5;
constexpr int kKindSpeed = 6;
constexpr int kKindPercent = 7;
constexpr int kKindPpm = 8;

// The raw value (given in sourceKind) converted to shownKind: 1 shown as 2 divides
// by 1.47, 2 shown as 1 multiplies by 1.47, every other pair is left unchanged.
double ConvertKind(int sourceKind, int shownKind, double value);

struct ValueText {
    // false: nothing is drawn (unknown shown kind).
    bool visible = false;
    // The whole text, e.g. "21.46 °C" or "12.5 W/m2".
    QString text;
    // Set for kind 1 with units: the text is drawn as mainPart ("12.5 W/m")
    // followed by a raised "2".
    bool raisedTwo = false;
    QString mainPart;
};

// What the display draws for a number.
ValueText FormatValueText(int sourceKind, int shownKind, bool units, bool precision,
                          double rawValue);
