#include "sim/meter_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "meter/char_image.h"
#include "meter/meter_float.h"

namespace {

// 11 bits per byte (start, 8 data, parity, stop) at 9600 baud.
constexpr double kByteUs = 11.0 * 1e6 / 9600.0;

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

}  // namespace

int64_t MeterSimulator::NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

MeterSimulator::MeterSimulator(const SimMeterState& state) : m_state(state) {
    Image erased;
    erased.fill(0xFF);
    m_slots.assign(kSlots, erased);
}

MeterSimulator::~MeterSimulator() {
    Stop();
}

bool MeterSimulator::Start(const std::string& linkPath) {
    Stop();
    std::lock_guard<std::mutex> lock(m_lock);
    if (linkPath.empty()) {
        char tmpl[] = "/tmp/kv60x-sim-XXXXXX";
        if (!::mkdtemp(tmpl)) return false;
        m_linkPath = std::string(tmpl) + "/ttyKV";
        m_ownLinkDir = true;
    } else {
        m_linkPath = linkPath;
        m_ownLinkDir = false;
    }
    m_realDevice.clear();
    return OpenAndRun();
}

bool MeterSimulator::StartOnDevice(const std::string& devicePath) {
    Stop();
    std::lock_guard<std::mutex> lock(m_lock);
    m_realDevice = devicePath;
    m_linkPath.clear();
    return OpenAndRun();
}

bool MeterSimulator::OpenAndRun() {
    if (!OpenDevice()) return false;
    if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    m_startUs = NowUs();
    m_running = true;
    m_thread = std::thread(&MeterSimulator::Run, this);
    return true;
}

bool MeterSimulator::OpenDevice() {
    if (!m_realDevice.empty()) {
        const int fd = ::open(m_realDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        termios tio{};
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            tio.c_cflag |= PARENB | PARODD | CLOCAL | CREAD;
            ::cfsetispeed(&tio, B9600);
            ::cfsetospeed(&tio, B9600);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        m_deviceFd = fd;
        return true;
    }
    if (!OpenPty(m_pty)) return false;
    if (!ReplaceSymlink(m_pty.slavePath, m_linkPath)) {
        ClosePty(m_pty);
        return false;
    }
    m_deviceFd = m_pty.master;
    return true;
}

void MeterSimulator::CloseDevice() {
    if (!m_realDevice.empty()) {
        if (m_deviceFd >= 0) ::close(m_deviceFd);
    } else {
        ClosePty(m_pty);
        if (!m_linkPath.empty()) ::unlink(m_linkPath.c_str());
    }
    m_deviceFd = -1;
    m_out.clear();
    m_inLine.clear();
    m_pendingWriteSlot = -1;
}

void MeterSimulator::Stop() {
    if (m_thread.joinable()) {
        m_running = false;
        const char b = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &b, 1);
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_deviceFd >= 0 || m_pty.master >= 0) CloseDevice();
    for (int& fd : m_wake) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    if (m_ownLinkDir && !m_linkPath.empty()) {
        ::unlink((m_linkPath + ".new").c_str());
        const std::string dir = m_linkPath.substr(0, m_linkPath.rfind('/'));
        ::rmdir(dir.c_str());
        m_ownLinkDir = false;
    }
}

std::string MeterSimulator::LinkPath() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_realDevice.empty() ? m_linkPath : m_realDevice;
}

std::string MeterSimulator::DevicePath() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_realDevice.empty() ? m_pty.slavePath : m_realDevice;
}

void MeterSimulator::Unplug() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_deviceFd < 0) return;
        CloseDevice();
    }
    if (m_wake[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &b, 1);
    }
}

bool MeterSimulator::Replug() {
    bool ok = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_deviceFd >= 0) return true;
        ok = OpenDevice();
    }
    if (m_wake[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &b, 1);
    }
    return ok;
}

bool MeterSimulator::IsPlugged() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_deviceFd >= 0;
}

SimMeterState MeterSimulator::State() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_state;
}

void MeterSimulator::SetState(const SimMeterState& state) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_state = state;
}

void MeterSimulator::ModifyState(const std::function<void(SimMeterState&)>& change) {
    std::lock_guard<std::mutex> lock(m_lock);
    change(m_state);
}

SimFaults MeterSimulator::Faults() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_faults;
}

void MeterSimulator::SetFaults(const SimFaults& faults) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_faults = faults;
    m_nextUnsolicitedUs = 0;
    m_sameLineCount = 0;
}

MeterSimulator::Image MeterSimulator::SlotImage(int slot) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_slots.at(static_cast<size_t>(slot & 0xFF));
}

void MeterSimulator::SetSlotImage(int slot, const Image& image) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_slots.at(static_cast<size_t>(slot & 0xFF)) = image;
}

void MeterSimulator::SetSlotRecord(int slot, const CharRecData& rec) {
    SetSlotImage(slot, EncodeCharImage(rec));
}

CharRecData MeterSimulator::SlotRecord(int slot) const {
    const Image img = SlotImage(slot);
    CharRecData rec;
    rec.REC_NUMBER = static_cast<uint8_t>(slot);
    if (!CharImageChecksumOk(img)) return rec;
    const bool erased = std::all_of(img.begin(), img.end(), [](uint8_t b) { return b == 0xFF; });
    if (erased) return rec;
    DecodeCharImage(img, rec);
    return rec;
}

void MeterSimulator::EraseSlot(int slot) {
    Image erased;
    erased.fill(0xFF);
    SetSlotImage(slot, erased);
}

std::vector<std::string> MeterSimulator::ReceivedLines() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return std::vector<std::string>(m_received.begin(), m_received.end());
}

size_t MeterSimulator::CountReceived(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return static_cast<size_t>(std::count_if(
        m_received.begin(), m_received.end(),
        [&](const std::string& l) { return l.compare(0, prefix.size(), prefix) == 0; }));
}

void MeterSimulator::ClearReceived() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_received.clear();
}

std::vector<std::string> MeterSimulator::SentLines() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return std::vector<std::string>(m_sent.begin(), m_sent.end());
}

void MeterSimulator::ClearSent() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_sentDropped += m_sent.size();
    m_sent.clear();
}

void MeterSimulator::SetSentHistory(size_t lines) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_sentHistory = lines;
}

uint64_t MeterSimulator::SentCount() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_sentDropped + m_sent.size();
}

std::vector<std::string> MeterSimulator::SentSince(uint64_t index) const {
    std::lock_guard<std::mutex> lock(m_lock);
    const uint64_t first = index > m_sentDropped ? index - m_sentDropped : 0;
    if (first >= m_sent.size()) return {};
    return std::vector<std::string>(m_sent.begin() + static_cast<std::ptrdiff_t>(first),
                                    m_sent.end());
}

void MeterSimulator::SendRaw(const std::string& bytes) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Queue(bytes, NowUs(), true);
    }
    if (m_wake[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &b, 1);
    }
}

double MeterSimulator::CurrentTemperature() const {
    std::lock_guard<std::mutex> lock(m_lock);
    double t = m_state.temperature;
    if (m_state.driftAmplitude != 0.0 && m_state.driftPeriodS > 0) {
        const double s = (NowUs() - m_startUs) / 1e6;
        t += m_state.driftAmplitude * std::sin(2 * M_PI * s / m_state.driftPeriodS);
    }
    return t;
}

// ---------------------------------------------------------------- the meter

void MeterSimulator::Queue(std::string bytes, int64_t dueUs, bool record) {
    if (record) {
        m_sent.push_back(bytes);
        while (m_sent.size() > m_sentHistory) {
            m_sent.pop_front();
            ++m_sentDropped;
        }
    }
    if (m_faults.wireSpeed) {
        // The answer starts once the line is free and takes its wire time.
        dueUs = std::max(dueUs, m_wireBusyUntilUs);
        m_wireBusyUntilUs = dueUs + static_cast<int64_t>(bytes.size() * kByteUs);
    }
    m_out.push_back(Pending{dueUs, std::move(bytes), record});
}

void MeterSimulator::Flush(int64_t nowUs) {
    while (!m_out.empty() && m_deviceFd >= 0) {
        Pending& p = m_out.front();
        if (p.dueUs > nowUs) return;
        size_t allowed = p.bytes.size();
        if (m_faults.wireSpeed) {
            // A byte reaches the other end once its 11 bits have gone by.
            allowed = std::min(p.bytes.size(), static_cast<size_t>((nowUs - p.dueUs) / kByteUs));
            if (allowed == 0) {
                m_nextWireUs = p.dueUs + static_cast<int64_t>(kByteUs);
                return;
            }
        }
        const ssize_t n = ::write(m_deviceFd, p.bytes.data(), allowed);
        if (n <= 0) return;  // the line is full or gone; try again later
        m_bytesOut += static_cast<uint64_t>(n);
        if (static_cast<size_t>(n) == p.bytes.size()) {
            m_out.pop_front();
        } else {
            p.bytes.erase(0, static_cast<size_t>(n));
            if (m_faults.wireSpeed) p.dueUs += static_cast<int64_t>(n * kByteUs);
            return;
        }
    }
}

std::string MeterSimulator::Distort(std::string answer) {
    if (m_faults.truncateTo >= 0 && answer.size() > static_cast<size_t>(m_faults.truncateTo)) {
        answer.resize(static_cast<size_t>(m_faults.truncateTo));
    }
    if (m_faults.garble) {
        for (char& c : answer) {
            m_random ^= m_random << 13;
            m_random ^= m_random >> 7;
            m_random ^= m_random << 17;
            if ((m_random & 3) == 0) c = static_cast<char>(0x20 + (m_random >> 8) % 95);
        }
    }
    return answer;
}

std::string MeterSimulator::Answer(const std::string& line) {
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
    const char* arg = line.c_str() + 2;
    auto hexArg = [&](int digits) {
        char buf[8] = {};
        for (int i = 0; i < digits && i + 2 < static_cast<int>(line.size()); ++i) buf[i] = arg[i];
        return MeterHexNumber(buf, digits);
    };
    auto decArg = [&](int from, int digits) {
        char buf[8] = {};
        for (int i = 0; i < digits && from + i < static_cast<int>(line.size()); ++i) {
            buf[i] = line[static_cast<size_t>(from + i)];
        }
        return MeterDecimalNumber(buf, digits);
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
        double t = s.temperature;
        if (s.driftAmplitude != 0.0 && s.driftPeriodS > 0) {
            const double sec = (NowUs() - m_startUs) / 1e6;
            t += s.driftAmplitude * std::sin(2 * M_PI * sec / s.driftPeriodS);
        }
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
        s.serialNumber = std::atoi(arg);
        return Format("SW%04d", s.serialNumber);
    }
    if (cmd == "KW") {
        char digits[9] = "00000000";
        for (int i = 0; i < 8 && i + 2 < static_cast<int>(line.size()); ++i) digits[i] = arg[i];
        s.electrodeCoefficient = DecodeMeterFloat(digits);
        return std::string("KW") + digits;
    }
    if (cmd == "VW") {
        s.versionLetter = line.size() > 2 ? line[2] : ' ';
        return Format("VW%c", s.versionLetter);
    }
    return std::string();
}

void MeterSimulator::HandleLine(const std::string& line, int64_t arrivedUs) {
    m_received.push_back(line);
    while (m_received.size() > m_sentHistory) m_received.pop_front();
    if (line == m_lastLine) {
        ++m_sameLineCount;
    } else {
        m_lastLine = line;
        m_sameLineCount = 1;
    }
    if (m_faults.silent) return;
    if (line.size() >= 2 && m_faults.silentCommands.count(line.substr(0, 2))) return;
    if (m_faults.silentLines.count(line)) return;
    if (m_faults.answerOnNth > 1 && m_sameLineCount < m_faults.answerOnNth) return;
    m_sameLineCount = 0;
    std::string answer = Answer(line);
    if (answer.empty()) return;
    answer = Distort(answer) + "\r\n";
    Queue(std::move(answer), arrivedUs + static_cast<int64_t>(m_faults.lateMs) * 1000);
}

void MeterSimulator::Run() {
    char buf[1024];
    int64_t lineStartUs = 0;
    while (m_running) {
        int fd = -1;
        int64_t timeoutUs = 200000;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            const int64_t now = NowUs();
            fd = m_deviceFd;
            if (m_faults.unsolicitedEveryMs > 0 && fd >= 0) {
                if (m_nextUnsolicitedUs == 0)
                    m_nextUnsolicitedUs = now + m_faults.unsolicitedEveryMs * 1000LL;
                if (now >= m_nextUnsolicitedUs) {
                    Queue(m_faults.unsolicitedLine + "\r\n", now);
                    m_nextUnsolicitedUs = now + m_faults.unsolicitedEveryMs * 1000LL;
                }
                timeoutUs = std::min<int64_t>(timeoutUs, m_nextUnsolicitedUs - now);
            }
            Flush(now);
            if (!m_out.empty()) {
                const int64_t next = m_faults.wireSpeed
                                         ? std::max(m_out.front().dueUs, m_nextWireUs)
                                         : m_out.front().dueUs;
                timeoutUs = std::clamp<int64_t>(next - now, 0, timeoutUs);
            }
        }
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {fd, POLLIN, 0}};
        const timespec ts{static_cast<time_t>(timeoutUs / 1000000),
                          static_cast<long>((timeoutUs % 1000000) * 1000)};
        ::ppoll(fds, fd >= 0 ? 2 : 1, &ts, nullptr);
        if (fds[0].revents & POLLIN) {
            while (::read(m_wake[0], buf, sizeof buf) > 0) {
            }
        }
        if (fd < 0 || !(fds[1].revents & POLLIN)) continue;
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_deviceFd != fd) continue;  // unplugged meanwhile
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) continue;
        const int64_t now = NowUs();
        m_bytesIn += static_cast<uint64_t>(n);
        for (ssize_t i = 0; i < n; ++i) {
            if (m_inLine.empty()) lineStartUs = now;
            m_inLine.push_back(buf[i]);
            if (m_inLine.size() > 4096) m_inLine.clear();  // noise, not a command
            if (buf[i] != '\n') continue;
            std::string line = m_inLine;
            m_inLine.clear();
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            int64_t arrived = now;
            if (m_faults.wireSpeed) {
                // The command takes its own wire time to arrive.
                const int64_t start = std::max(lineStartUs, m_rxBusyUntilUs);
                arrived = start + static_cast<int64_t>((line.size() + 2) * kByteUs);
                m_rxBusyUntilUs = arrived;
            }
            HandleLine(line, arrived);
        }
    }
}

void FillDemoCharacteristics(MeterSimulator& sim, int count) {
    // Names in code page 1250, as the meter keeps them.
    struct Sample {
        const char* code;
        const char* name;
        const char* desc;
        int method;
        double rh0, rh1, v0, v1;
    };
    static const Sample kSamples[] = {
        {"PSZ", "Pszenica  ", "Ziarno pszenicy ozimej                  ", 1, 10, 30, 0.12, 0.95},
        {"ZYT", "\xAFyto      ", "Ziarno \xBFyta                              ", 1, 9, 28, 0.10,
         0.90},
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
        {"BET", "Beton B20 ", "Beton, wilgotno\x9C\xE6 masowa                ", 1, 1, 8, 0.05,
         0.60},
        {"CEG",
         "Ceg\xB3"
         "a     ",
         "Ceg\xB3"
         "a ceramiczna pe\xB3"
         "na                  ",
         1, 0.5, 6, 0.04, 0.50},
    };
    const int32_t now = static_cast<int32_t>(std::time(nullptr));
    for (int i = 0; i < count && i < MeterSimulator::kSlots; ++i) {
        const Sample& s = kSamples[i % (sizeof kSamples / sizeof kSamples[0])];
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
        sim.SetSlotRecord(i, r);
    }
    sim.ModifyState([count](SimMeterState& s) { s.slotCount = count; });
}
