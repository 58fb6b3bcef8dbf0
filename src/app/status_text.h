#pragma once

#include <QString>

#include "meter/meter_records.h"

// What the main window shows about the meter, composed from one refresh's
// copies of the driver records (pure functions, no widgets).

enum class StatusIcon { Information, Warning, Error };

struct StatusInputs {
    bool connected = false;  // the driver's link was up
    MeterIdentity identity;
    SerialNumberData serialNumber;
    MeterCondition condition;
    TemperatureReading temperature;
    ServiceData serviceData;
    bool registrationRunning = false;
    int fileInterval = 60;             // seconds
    bool registrationFailing = false;  // the last registration write failed
};

struct StatusLine {
    QString text;         // the status text box
    QString serviceText;  // the service data box (empty clears it)
    StatusIcon icon = StatusIcon::Error;
};

// The meter's part of the inputs, from one snapshot; `connected` is the link
// the window shows.
StatusInputs StatusInputsOf(const MeterSnapshot& snapshot, bool connected);

// The status text pieces, joined exactly as they stand (so two spaces appear
// where a piece ending in a space meets one starting with a space).
StatusLine ComposeStatusLine(const StatusInputs& in);

// " Rejestracja do pliku co hh:mm:ss. " for an interval in seconds.
QString RegistrationPiece(int intervalSeconds);

// What the value display shows.
struct DisplayState {
    bool hasValue = false;  // false: "???"
    double value = 0.0;
    bool blink = true;
};

DisplayState ComposeDisplayState(bool connected, const MeterCondition& condition,
                                 const TemperatureReading& temperature);
