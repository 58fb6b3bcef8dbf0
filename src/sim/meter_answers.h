#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "records/char_rec_data.h"

// What the simulated meter is: identity, condition, readings and memory.
struct SimMeterState {
    std::string model = "KV-607";  // six characters
    char versionLetter = 'A';
    int versionMajor = 1;
    int versionMinor = 3;
    int serialNumber = 17;
    int startupYear = 2009;
    int startupMonth = 8;
    bool startupMemoryError = false;
    bool startupDataError = false;
    bool lowSupplyVoltage = false;
    double temperature = 21.5;  // degrees Celsius
    bool temperatureError = false;
    double driftAmplitude = 0.0;  // a slow sine drift around `temperature`
    double driftPeriodS = 600.0;
    std::string serviceText = "S0000000";  // eight characters
    int slotCount = 20;                    // 0..255, answered to "CN"
    double electrodeCoefficient = 1.0;
};

// The meter's own refusals and faults in what it answers (the line itself is
// left alone: silence, lateness and garbling belong to the transport).
struct SimAnswerFaults {
    bool refuseCharHeader = false;   // "CW%02X" answered with "!CZ"
    bool refuseCharData = false;     // the data line answered with "!CW"
    bool badChecksum = false;        // "CR" answers carry a wrong checksum
    std::set<int> badChecksumSlots;  // only the "CR" answers for these slots do
    int badChecksumLimit = -1;       // >= 0: only this many more answers are spoiled so
    int wrongSlotAnswers = 0;  // this many more "CR" answers name the slot after the one asked
};

// The meter itself, without a line: takes one received command line and gives
// the answer the meter sends, changing its state as the meter does (writes,
// the characteristic data line that follows an accepted "CW"). No clock, no
// thread, no device: the time for the temperature drift is passed in.
class SimMeter {
public:
    static constexpr int kSlots = 256;
    using Image = std::array<uint8_t, 256>;

    explicit SimMeter(const SimMeterState& state = SimMeterState());

    // The answer to one command line (given without its CR LF): the answer line
    // with CR LF, or empty when the meter says nothing. secondsRunning is the
    // time since the meter was switched on (it drives the temperature drift).
    std::string Answer(const std::string& line, double secondsRunning);

    // The line was broken (unplugged): a "CW" accepted before waits no longer.
    void DropPendingWrite() { m_pendingWriteSlot = -1; }
    // The slot accepted by "CW", awaiting its data line; -1 when none.
    int PendingWriteSlot() const { return m_pendingWriteSlot; }

    const SimMeterState& State() const { return m_state; }
    SimMeterState& EditState() { return m_state; }
    void SetState(const SimMeterState& state) { m_state = state; }

    const SimAnswerFaults& Faults() const { return m_faults; }
    void SetFaults(const SimAnswerFaults& faults) { m_faults = faults; }

    // The temperature the meter reads secondsRunning after it was switched on.
    double TemperatureAt(double secondsRunning) const;

    // Characteristic memory: 256 slots of raw images; an erased slot is all 0xFF.
    // Slot numbers are taken modulo 256.
    const Image& SlotImage(int slot) const;
    void SetSlotImage(int slot, const Image& image);
    // The slot decoded (valid 0 when erased or its checksum is bad).
    CharRecData SlotRecord(int slot) const;

private:
    std::string Reply(const std::string& line, double secondsRunning);

    SimMeterState m_state;
    SimAnswerFaults m_faults;
    std::vector<Image> m_slots;
    int m_pendingWriteSlot = -1;  // slot accepted by "CW%02X", awaiting its data line
};
