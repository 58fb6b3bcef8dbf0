#include "meter/kv60x_driver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "meter/char_image.h"
#include "meter/meter_float.h"
#include "serial/serial_port.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int32_t WallSeconds() {
    return static_cast<int32_t>(std::time(nullptr));
}

// Counts a thread as waiting for the exchange lock until Done() (or the end of
// the scope); a null counter counts nothing.
class WaitingTurn {
public:
    explicit WaitingTurn(std::atomic<int>* counter) : m_counter(counter) {
        if (m_counter) ++*m_counter;
    }
    ~WaitingTurn() { Done(); }
    WaitingTurn(const WaitingTurn&) = delete;
    WaitingTurn& operator=(const WaitingTurn&) = delete;
    void Done() {
        if (m_counter) --*m_counter;
        m_counter = nullptr;
    }

private:
    std::atomic<int>* m_counter = nullptr;
};

}  // namespace

Ckv60xDriver::Ckv60xDriver() = default;

Ckv60xDriver::~Ckv60xDriver() {
    Disconnect();
}

void Ckv60xDriver::SetTiming(const DriverTiming& timing) {
    std::lock_guard<std::mutex> lock(m_timingLock);
    m_timing = timing;
}

DriverTiming Ckv60xDriver::Timing() const {
    std::lock_guard<std::mutex> lock(m_timingLock);
    return m_timing;
}

// ---------------------------------------------------------------- connection

void Ckv60xDriver::SetLinkDown() {
    Lock data(m_dataLock);
    m_linkUp = false;
}

void Ckv60xDriver::ForgetLink(bool disconnecting) {
    // Nothing shown or logged after a change of port may be older than the new
    // link: no link until a complete cycle, and no reading to fall back on.
    Lock data(m_dataLock);
    m_linkUp = false;
    m_state.temperature.valid = false;
    if (disconnecting) {
        m_state.condition.valid = false;
        m_state.identity.valid = false;
        m_lineCount = 0;
        m_lastLineMs = 0;
    }
}

void Ckv60xDriver::SetReopenHook(std::function<void(const CSerialPort&)> hook) {
    std::lock_guard<std::mutex> lock(m_timingLock);
    m_reopenHook = std::move(hook);
}

bool Ckv60xDriver::Connect(int portNumber) {
    StopPolling();
    ForgetLink(false);
    {
        Lock cw(m_charWriteLock);
        Lock ex(m_exchangeLock);
        m_port.reset();
        m_havePort = false;
        m_portLost = false;
        m_portNumber = portNumber;
        m_lastOpenError.clear();
        m_lastOpenPermissionDenied = false;
        auto port = std::make_unique<CSerialPort>();
        if (!port->Open(this, portNumber, 9600, 'O', 8, 1)) {
            m_lastOpenError = port->LastError();
            m_lastOpenPermissionDenied = port->PermissionDenied();
            m_port = std::move(port);  // stays until Disconnect, unused
            return false;
        }
        if (!port->StartThread()) {
            m_lastOpenError = QStringLiteral("cannot start the port thread");
            m_port = std::move(port);
            return false;
        }
        m_port = std::move(port);
        m_havePort = true;
    }
    m_stop = false;
    try {
        m_pollThread = std::thread(&Ckv60xDriver::PollingThread, this);
    } catch (...) {
        return false;
    }
    return true;
}

void Ckv60xDriver::Disconnect() {
    m_abortWaits = true;
    InterruptWaits();
    StopPolling();
    {
        Lock cw(m_charWriteLock);
        Lock ex(m_exchangeLock);
        m_havePort = false;
        m_port.reset();
        m_portLost = false;
        m_portNumber = 0;
    }
    ForgetLink(true);
    m_abortWaits = false;
}

bool Ckv60xDriver::IsConnected() const {
    return m_havePort.load() && !m_portLost.load();
}

int Ckv60xDriver::PortRtsControl() const {
    Lock ex(m_exchangeLock);
    return m_port ? m_port->GetRtsControl() : -1;
}

QString Ckv60xDriver::LastOpenError() const {
    Lock ex(m_exchangeLock);
    return m_lastOpenError;
}

bool Ckv60xDriver::LastOpenPermissionDenied() const {
    Lock ex(m_exchangeLock);
    return m_lastOpenPermissionDenied;
}

void Ckv60xDriver::SetServiceDataOn(bool on) {
    m_serviceDataOn = on;
}

void Ckv60xDriver::InterruptWaits() {
    for (ManualResetEvent& e : m_events) e.Poke();
}

void Ckv60xDriver::OnPortFailed() {
    // Called on the port thread when the device is gone; exchanges in progress
    // end at once and the polling thread starts reopening the device.
    m_portLost = true;
    InterruptWaits();
}

bool Ckv60xDriver::ReopenLostPort() {
    Lock cw(m_charWriteLock);
    Lock ex(m_exchangeLock);
    m_port.reset();
    m_havePort = false;
    {
        Lock data(m_dataLock);
        m_lineCount = 0;
    }
    auto port = std::make_unique<CSerialPort>();
    if (!port->Open(this, m_portNumber, 9600, 'O', 8, 1)) return false;
    // Cleared before the new port's thread runs: a device that drops again at
    // once reports it through OnPortFailed, and that report must stand.
    m_portLost = false;
    if (!port->StartThread()) {
        m_portLost = true;
        return false;
    }
    std::function<void(const CSerialPort&)> hook;
    {
        std::lock_guard<std::mutex> lock(m_timingLock);
        hook = std::move(m_reopenHook);
        m_reopenHook = nullptr;
    }
    if (hook) hook(*port);
    m_port = std::move(port);
    m_havePort = true;
    return true;
}

// ---------------------------------------------------------------- polling

void Ckv60xDriver::StopPolling() {
    if (!m_pollThread.joinable()) return;
    m_stop = true;
    InterruptWaits();
    m_pollThread.join();
}

void Ckv60xDriver::YieldToForeground() {
    while (m_foregroundWaiting.load() > 0 && !m_stop && !m_abortWaits)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void Ckv60xDriver::PollingThread() {
    m_pollThreadId = std::this_thread::get_id();
    auto sleepFor = [this](int ms) {
        const int64_t until = SteadyMs() + ms;
        while (!m_stop && SteadyMs() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    try {
        while (!m_stop) {
            const DriverTiming t = Timing();
            if (m_portLost) {
                SetLinkDown();
                if (!ReopenLostPort()) {
                    sleepFor(t.reopenIntervalMs);
                    continue;
                }
            }
            int64_t lastLine = 0;
            {
                Lock data(m_dataLock);
                lastLine = m_lastLineMs;
            }
            if (!m_serviceDataOn && m_linkUp && SteadyMs() - lastLine <= t.idleMs) {
                sleepFor(t.cycleSleepMs);
                continue;
            }
            bool (Ckv60xDriver::*const reads[])() = {
                &Ckv60xDriver::ReadIdentity,     &Ckv60xDriver::ReadCondition,
                &Ckv60xDriver::ReadSerialNumber, &Ckv60xDriver::ReadStartupDate,
                &Ckv60xDriver::ReadTemperature,  &Ckv60xDriver::ReadCharacteristicCount};
            bool answered = true;
            for (auto read : reads) {
                if (m_stop) break;
                answered = (this->*read)();
                if (!answered) break;
            }
            if (m_stop) break;
            if (!answered) {
                SetLinkDown();
                continue;
            }
            if (m_serviceDataOn && !ReadServiceData()) {
                SetLinkDown();
                continue;
            }
            {
                Lock data(m_dataLock);
                if (!m_serviceDataOn) m_state.serviceData.valid = false;
                m_linkUp = true;
                ++m_cycles;
            }
            sleepFor(t.cycleSleepMs);
        }
    } catch (...) {
        // An exception inside a pass ends the thread; the link state stays as it was.
    }
}

// ---------------------------------------------------------------- exchange

bool Ckv60xDriver::Exchange(const char* line, int length, ReplyKind awaited, bool retry) {
    if (!m_havePort) return false;
    const bool polling = std::this_thread::get_id() == m_pollThreadId.load();
    if (polling) YieldToForeground();
    WaitingTurn turn(polling ? nullptr : &m_foregroundWaiting);
    { Lock cw(m_charWriteLock); }  // no exchange starts during another thread's write
    Lock ex(m_exchangeLock);
    turn.Done();
    if (!m_port || !m_havePort || m_portLost) return false;
    const DriverTiming t = Timing();
    const int attempts = retry ? (t.attempts > 0 ? t.attempts : 1) : 1;
    auto aborted = [this] { return m_abortWaits.load() || m_portLost.load() || m_stop.load(); };
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (aborted()) return false;
        ManualResetEvent* event =
            awaited == ReplyKind::None ? nullptr : &m_events[static_cast<int>(awaited)];
        if (event) event->Reset();
        m_port->Write(line, length);
        if (!event) return true;
        if (event->Wait(t.replyTimeoutMs, aborted)) return true;
    }
    return false;
}

bool Ckv60xDriver::Command(const char* text, ReplyKind awaited, bool retry) {
    char buffer[512];
    int length = static_cast<int>(std::strlen(text));
    if (length > 0 && length + 2 <= static_cast<int>(sizeof buffer)) {
        std::memcpy(buffer, text, static_cast<size_t>(length));
        buffer[length++] = '\r';
        buffer[length++] = '\n';
    } else {
        length = 0;
    }
    return Exchange(buffer, length, awaited, retry);
}

void Ckv60xDriver::OnByteReceived(uint8_t byte) {
    DecodeResult result{false, ReplyKind::None};
    {
        Lock data(m_dataLock);
        if (m_lineCount >= static_cast<int>(sizeof m_line))
            m_lineCount = 0;  // over-long line dropped
        m_line[m_lineCount++] = static_cast<char>(byte);
        if (m_lineCount > 1 && m_line[m_lineCount - 2] == '\r' && m_line[m_lineCount - 1] == '\n') {
            char work[sizeof m_line] = {};
            std::memcpy(work, m_line, static_cast<size_t>(m_lineCount));
            result = DecodeReply(work, static_cast<size_t>(m_lineCount), m_state, WallSeconds());
            if (result.accepted) {
                m_lastLineMs = SteadyMs();
                m_lastLineWall = WallSeconds();
            }
            m_lineCount = 0;
        }
    }
    // The values are stored; now release whoever waits for this kind.
    if (result.accepted && result.kind != ReplyKind::None) {
        m_events[static_cast<int>(result.kind)].Set();
    }
}

int64_t Ckv60xDriver::GetLastLineTime() const {
    Lock data(m_dataLock);
    return m_lastLineMs == 0 ? 0 : m_lastLineWall;
}

// ---------------------------------------------------------------- polled reads

void Ckv60xDriver::ApplyRtsRule() {
    MeterIdentity id;
    GetIdentity(id);
    if (!id.valid || id.versionMajor >= 2 || std::strcmp(id.model, "KV-606") != 0) return;
    Lock ex(m_exchangeLock);
    if (m_port && m_port->GetRtsControl() != 0) m_port->SetRtsControl(0);
}

bool Ckv60xDriver::ReadIdentity() {
    if (!Command("VR", ReplyKind::Identity)) return false;
    ApplyRtsRule();
    return true;
}
bool Ckv60xDriver::ReadCondition() {
    return Command("ST", ReplyKind::Condition);
}
bool Ckv60xDriver::ReadSerialNumber() {
    return Command("SR", ReplyKind::SerialNumber);
}
bool Ckv60xDriver::ReadStartupDate() {
    return Command("DR", ReplyKind::StartupDate);
}
bool Ckv60xDriver::ReadTemperature() {
    return Command("TR", ReplyKind::Temperature);
}
bool Ckv60xDriver::ReadCharacteristicCount() {
    return Command("CN", ReplyKind::Count);
}
bool Ckv60xDriver::ReadServiceData() {
    return Command("SD", ReplyKind::ServiceData);
}

// ---------------------------------------------------------------- getters

MeterSnapshot Ckv60xDriver::Snapshot() const {
    Lock data(m_dataLock);
    MeterSnapshot s;
    s.link = m_linkUp.load();
    s.cycles = m_cycles.load();
    s.identity = m_state.identity;
    s.serialNumber = m_state.serialNumber;
    s.startupDate = m_state.startupDate;
    s.condition = m_state.condition;
    s.temperature = m_state.temperature;
    s.serviceData = m_state.serviceData;
    s.count = m_state.count;
    return s;
}

#define KV60X_GETTER(Name, Type, member)       \
    bool Ckv60xDriver::Name(Type& out) const { \
        Lock data(m_dataLock);                 \
        out = m_state.member;                  \
        return m_linkUp.load();                \
    }

KV60X_GETTER(GetCondition, MeterCondition, condition)
KV60X_GETTER(GetIdentity, MeterIdentity, identity)
KV60X_GETTER(GetSerialNumber, SerialNumberData, serialNumber)
KV60X_GETTER(GetStartupDate, StartupDate, startupDate)
KV60X_GETTER(GetTemperature, TemperatureReading, temperature)
KV60X_GETTER(GetServiceData, ServiceData, serviceData)
KV60X_GETTER(GetCharacteristicCount, CharacteristicCount, count)
KV60X_GETTER(GetElectrodeCoefficient, ElectrodeCoefficient, coefficient)

#undef KV60X_GETTER

// ---------------------------------------------------------------- characteristics

bool Ckv60xDriver::ReadCharacteristic(int slot, CharRecData& out, CharReadReport* report) {
    char cmd[8];
    const unsigned asked = static_cast<unsigned>(slot) & 0xFFu;
    std::snprintf(cmd, sizeof cmd, "CR%02X", asked);
    CharReadReport r;
    r.slot = static_cast<int>(asked);
    // Both locks for the whole read, in their order: no other exchange comes
    // between the attempts, and the answer stays ours until it is copied.
    WaitingTurn turn(&m_foregroundWaiting);
    Lock cw(m_charWriteLock);
    Lock ex(m_exchangeLock);
    turn.Done();
    const int attempts = std::max(1, Timing().attempts);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        ++r.attempts;
        if (!Command(cmd, ReplyKind::CharRead, false)) {
            r.fault = CharReadReport::Fault::NoAnswer;
            if (!m_havePort || m_portLost || m_abortWaits || m_stop) break;
            continue;
        }
        Lock data(m_dataLock);
        r.answeredSlot = m_state.slotAnswered;
        r.image = m_state.slotImage;
        r.receivedChecksum = r.image[255];
        r.expectedChecksum = CharImageExpectedChecksum(r.image);
        if (m_state.slotAnswered != asked) {
            r.fault = CharReadReport::Fault::WrongSlot;
        } else if (!m_state.slot.valid) {
            r.fault = CharReadReport::Fault::BadChecksum;
        } else {
            r.fault = CharReadReport::Fault::None;
            out = m_state.slot;
            break;
        }
    }
    if (report) *report = r;
    return r.fault == CharReadReport::Fault::None;
}

bool Ckv60xDriver::WriteCharacteristic(const CharRecData& rec) {
    if (!rec.valid) {
        // A block marked not valid is "written" without traffic, once the
        // slot is known to exist.
        CharacteristicCount count;
        GetCharacteristicCount(count);
        return count.valid && rec.REC_NUMBER < count.count;
    }
    return WriteCharacteristicImage(rec.REC_NUMBER, EncodeCharImage(rec));
}

bool Ckv60xDriver::WriteCharacteristicImage(int slot, const CharImage& image) {
    CharacteristicCount count;
    GetCharacteristicCount(count);
    if (!count.valid || slot < 0 || slot >= count.count) return false;

    // Held across both lines and the pause: no other exchange, the polling
    // included, may come between them.
    WaitingTurn turn(&m_foregroundWaiting);
    Lock cw(m_charWriteLock);
    turn.Done();
    char header[8];
    std::snprintf(header, sizeof header, "CW%02X", static_cast<unsigned>(slot));
    if (!Command(header, ReplyKind::CharHeaderAccepted, false)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(Timing().charWritePauseMs));
    const std::string line = BuildCharDataLine(image);
    return Exchange(line.data(), static_cast<int>(line.size()), ReplyKind::CharDataWritten, false);
}

// ---------------------------------------------------------------- service commands

bool Ckv60xDriver::WriteStartupDate(uint16_t year, uint8_t month) {
    {
        Lock data(m_dataLock);
        const StartupDate& d = m_state.startupDate;
        if (d.valid && d.year == static_cast<int16_t>(year) && d.month == month) return true;
    }
    char cmd[32];
    std::snprintf(cmd, sizeof cmd, "DW%02d%02d", static_cast<int>(year) - 2000,
                  static_cast<int>(month));
    if (!Command(cmd, ReplyKind::StartupDateWritten)) return false;
    return ReadStartupDate();
}

bool Ckv60xDriver::WriteSerialNumber(int serialNumber) {
    {
        Lock data(m_dataLock);
        const SerialNumberData& s = m_state.serialNumber;
        if (s.valid && s.serialNumber == serialNumber) return true;
    }
    char cmd[32];
    std::snprintf(cmd, sizeof cmd, "SW%04d", serialNumber);
    if (!Command(cmd, ReplyKind::SerialNumberWritten)) return false;
    return ReadSerialNumber();
}

bool Ckv60xDriver::WriteVersionLetter(char letter) {
    {
        Lock data(m_dataLock);
        const MeterIdentity& id = m_state.identity;
        if (id.valid && id.versionLetter == letter) return true;
    }
    // A NUL letter would end the command text early; the meter gets a space instead.
    const char cmd[4] = {'V', 'W', letter ? letter : ' ', 0};
    if (!Command(cmd, ReplyKind::VersionLetterWritten)) return false;
    return ReadIdentity();
}

bool Ckv60xDriver::WriteElectrodeCoefficient(double coefficient) {
    {
        Lock data(m_dataLock);
        ElectrodeCoefficient& k = m_state.coefficient;
        if (k.valid && k.coefficient == coefficient) return true;
        // Polling never reads the coefficient: from here on the meter may hold
        // the new value, so the one read before no longer counts as the meter's
        // (a later write of it is sent, not skipped as unchanged).
        k.valid = false;
    }
    const std::string cmd = "KW" + EncodeMeterFloat(coefficient);
    return Command(cmd.c_str(), ReplyKind::CoefficientWritten);
}

bool Ckv60xDriver::ReadElectrodeCoefficient(ElectrodeCoefficient& out) {
    if (!Command("KR", ReplyKind::Coefficient)) return false;
    Lock data(m_dataLock);
    out = m_state.coefficient;
    return true;
}
