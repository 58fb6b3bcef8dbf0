#include "sim/meter_answers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "meter/char_image.h"
#include "meter/meter_float.h"

namespace {

bool IsHexLine(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
    char buf[1100];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

// n characters of line from position from, missing ones as pad.
std::string Field(const std::string& line, size_t from, size_t n, char pad = '\0') {
    std::string f = from < line.size() ? line.substr(from, n) : std::string();
    f.resize(n, pad);
    return f;
}

}  // namespace

SimMeter::SimMeter(const SimMeterState& state) : m_state(state) {
    Image erased;
    erased.fill(0xFF);
    m_slots.assign(kSlots, erased);
}

double SimMeter::TemperatureAt(double secondsRunning) const {
    double t = m_state.temperature;
    if (m_state.driftAmplitude != 0.0 && m_state.driftPeriodS > 0) {
        t += m_state.driftAmplitude * std::sin(2 * M_PI * secondsRunning / m_state.driftPeriodS);
    }
    return t;
}

const SimMeter::Image& SimMeter::SlotImage(int slot) const {
    return m_slots[static_cast<size_t>(slot & 0xFF)];
}

void SimMeter::SetSlotImage(int slot, const Image& image) {
    m_slots[static_cast<size_t>(slot & 0xFF)] = image;
}

CharRecData SimMeter::SlotRecord(int slot) const {
    const Image& img = SlotImage(slot);
    CharRecData rec;
    rec.REC_NUMBER = static_cast<uint8_t>(slot);
    if (!CharImageChecksumOk(img)) return rec;
    const bool erased = std::all_of(img.begin(), img.end(), [](uint8_t b) { return b == 0xFF; });
    if (erased) return rec;
    DecodeCharImage(img, rec);
    return rec;
}

std::string SimMeter::Answer(const std::string& line, double secondsRunning) {
    std::string answer = Reply(line, secondsRunning);
    if (!answer.empty()) answer += "\r\n";
    return answer;
}

std::string SimMeter::Reply(const std::string& line, double secondsRunning) {
    SimMeterState& s = m_state;
    if (line.size() == 512 && IsHexLine(line)) {
        const int slot = m_pendingWriteSlot;
        m_pendingWriteSlot = -1;
        if (slot < 0 || m_faults.refuseCharData) return "!CW";
        std::string upper = line;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const Image img = CharImageFromHex(upper.c_str());
        if (!CharImageChecksumOk(img)) return "!CW";
        m_slots[static_cast<size_t>(slot)] = img;
        return Format("CW%02X", slot);
    }
    m_pendingWriteSlot = -1;
    if (line.size() < 2) return std::string();
    const std::string cmd = line.substr(0, 2);
    // Numbers at fixed places, read with the meter's digit rules.
    auto hexArg = [&](size_t digits) {
        return MeterHexNumber(Field(line, 2, digits).c_str(), static_cast<int>(digits));
    };
    auto decArg = [&](size_t from, size_t digits) {
        return MeterDecimalNumber(Field(line, from, digits).c_str(), static_cast<int>(digits));
    };

    if (cmd == "VR") {
        std::string model = s.model;
        model.resize(6, ' ');
        return Format("%s%c %X.%X", model.c_str(), s.versionLetter, s.versionMajor & 0xF,
                      s.versionMinor & 0xF);
    }
    if (cmd == "ST") {
        const int v = (s.startupMemoryError ? 1 : 0) | (s.startupDataError ? 0 : 2) |
                      (s.lowSupplyVoltage ? 4 : 0);
        return Format("ST000%X", v);
    }
    if (cmd == "SR") return Format("SR%04d", s.serialNumber);
    if (cmd == "DR") {
        const int y = ((s.startupYear - 2000) % 100 + 100) % 100;
        return Format("DR%02d%02d", y, s.startupMonth % 100);
    }
    if (cmd == "TR") {
        const double t = TemperatureAt(secondsRunning);
        const long hundredths = std::lround(std::clamp(t, -327.68, 327.67) * 100.0);
        return Format(
            "TR%c%04X", s.temperatureError ? 'E' : 'O',
            static_cast<unsigned>(static_cast<uint16_t>(static_cast<int16_t>(hundredths))));
    }
    if (cmd == "CN") return Format("CN%02X", std::clamp(s.slotCount, 0, 255));
    if (cmd == "SD") {
        std::string text = s.serviceText;
        text.resize(8, ' ');
        return "SD" + text;
    }
    if (cmd == "KR") return "KR" + EncodeMeterFloat(s.electrodeCoefficient);
    if (cmd == "CR") {
        const int slot = static_cast<int>(hexArg(2));
        Image img = m_slots[static_cast<size_t>(slot)];
        if ((m_faults.badChecksum || m_faults.badChecksumSlots.count(slot)) &&
            m_faults.badChecksumLimit != 0) {
            img[255] = static_cast<uint8_t>(img[255] + 0x55);
            if (m_faults.badChecksumLimit > 0) --m_faults.badChecksumLimit;
        }
        int named = slot;
        if (m_faults.wrongSlotAnswers > 0) {
            --m_faults.wrongSlotAnswers;
            named = (slot + 1) & 0xFF;
        }
        return Format("CR%02X", named) + CharImageToHex(img);
    }
    if (cmd == "CW") {
        const int slot = static_cast<int>(hexArg(2));
        if (m_faults.refuseCharHeader || slot >= s.slotCount) return "!CZ";
        m_pendingWriteSlot = slot;
        return Format("CZ%02X", slot);
    }
    if (cmd == "DW") {
        // The meter reads two year digits and two month digits at fixed places.
        s.startupYear = 2000 + decArg(2, 2);
        s.startupMonth = decArg(4, 2);
        return Format("DW%02d%02d", s.startupYear - 2000, s.startupMonth);
    }
    if (cmd == "SW") {
        s.serialNumber = std::atoi(line.c_str() + 2);
        return Format("SW%04d", s.serialNumber);
    }
    if (cmd == "KW") {
        const std::string digits = Field(line, 2, 8, '0');
        s.electrodeCoefficient = DecodeMeterFloat(digits.c_str());
        return "KW" + digits;
    }
    if (cmd == "VW") {
        s.versionLetter = line.size() > 2 ? line[2] : ' ';
        return Format("VW%c", s.versionLetter);
    }
    return std::string();
}
