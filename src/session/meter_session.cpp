#include "session/meter_session.h"

#include <chrono>
#include <thread>

#include "meter/kv60x_driver.h"
#include "sim/demo_meter.h"

MeterSession::MeterSession(QObject* parent)
    : QObject(parent), m_driver(std::make_unique<Ckv60xDriver>()) {
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { Refresh(); });
}

MeterSession::~MeterSession() {
    m_refreshTimer.stop();
    // The polling thread and the port go before the demo meter behind them.
    m_driver->Disconnect();
    m_driver.reset();
    StopDemoMeter(m_demo);
}

void MeterSession::SetTiming(const DriverTiming& timing) {
    m_driver->SetTiming(timing);
}

void MeterSession::SetJournal(const JournalSettings& settings) {
    std::lock_guard<std::mutex> lock(m_journalLock);
    m_journal = settings;
}

JournalSettings MeterSession::Journal() const {
    std::lock_guard<std::mutex> lock(m_journalLock);
    return m_journal;
}

bool MeterSession::StartDemo() {
    if (!m_demo) m_demo = StartDemoMeter();
    return m_demo != nullptr;
}

bool MeterSession::Connect(int port) {
    m_port = port;
    const bool opened = m_driver->Connect(port);
    // Nothing half-open stays behind: the next Connect starts clean.
    if (!opened) m_driver->Disconnect();
    // Nothing of the old link stays on the screen, not even until the next tick.
    Refresh();
    return opened;
}

void MeterSession::Disconnect() {
    m_driver->Disconnect();
    Refresh();
}

bool MeterSession::IsConnected() const {
    return m_driver->IsConnected();
}

QString MeterSession::LastOpenError() const {
    return m_driver->LastOpenError();
}

bool MeterSession::LastOpenPermissionDenied() const {
    return m_driver->LastOpenPermissionDenied();
}

MeterSession::PortChoice MeterSession::ChoosePort(int port) {
    // The port in use with a working link: nothing to do. Without one (it
    // failed at start, or the meter stopped answering) choosing it again is
    // the way to try once more.
    if (port == m_port && m_driver->IsConnected() && m_driver->LinkUp()) return PortChoice::Kept;
    m_driver->Disconnect();
    if (Connect(port)) {
        m_configuredPort = port;
        return PortChoice::Connected;
    }
    m_port = 0;
    m_configuredPort = 0;
    return PortChoice::Failed;
}

bool MeterSession::WaitForLink(int timeoutMs, const std::function<bool()>& stopped) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!(m_driver->LinkUp() && m_driver->CompletedCycles() > 0)) {
        if ((stopped && stopped()) || std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void MeterSession::SetServiceDataOn(bool on) {
    m_serviceDataOn = on;
    m_driver->SetServiceDataOn(on);
}

void MeterSession::StartRefresh(int intervalMs) {
    m_refreshTimer.start(intervalMs);
}

void MeterSession::StopRefresh() {
    m_refreshTimer.stop();
}

const MeterSnapshot& MeterSession::Refresh() {
    m_last = m_driver->Snapshot();
    emit snapshotTaken(m_last);
    if (m_last.linkUp() != m_lastLink) {
        m_lastLink = m_last.linkUp();
        emit linkChanged(m_lastLink);
    }
    return m_last;
}

MeterSnapshot MeterSession::Snapshot() const {
    return m_driver->Snapshot();
}

int MeterSession::SlotCount(int cap) const {
    CharacteristicCount c;
    m_driver->GetCharacteristicCount(c);
    if (!c.valid) return -1;
    return cap > 0 && c.count > cap ? cap : c.count;
}

bool MeterSession::ReadCharacteristic(int slot, CharRecData* out, CharReadReport* report) {
    CharRecData rec;
    if (!m_driver->ReadCharacteristic(slot, rec, report) || !rec.valid) return false;
    *out = rec;
    return true;
}

bool MeterSession::ReadElectrodeCoefficient(ElectrodeCoefficient* out) {
    ElectrodeCoefficient k;
    if (!m_driver->ReadElectrodeCoefficient(k) || !k.valid) return false;
    {
        std::lock_guard<std::mutex> lock(m_coefficientLock);
        m_coefficient = k;
    }
    *out = k;
    return true;
}

bool MeterSession::ReadCommissioningData() {
    return m_driver->ReadIdentity() && m_driver->ReadSerialNumber() && m_driver->ReadStartupDate();
}

// Not the driver's record: a write makes that one not valid, and the write's
// own check of the value held reads into it as well.
ElectrodeCoefficient MeterSession::LastElectrodeCoefficient() const {
    std::lock_guard<std::mutex> lock(m_coefficientLock);
    return m_coefficient;
}

WriteOutcome MeterSession::Write(const MeterWrite& write) {
    WriteBatch batch(*this);
    return batch.Write(write);
}

MeterStamp MeterSession::Stamp() const {
    return StampFromDriver(*m_driver);
}

QString SlotReadFailureText(const CharReadReport& report) {
    if (report.fault == CharReadReport::Fault::NoAnswer) {
        return QStringLiteral("Nie można odczytać ustawień (charakterystyka nr %1)")
            .arg(report.slot + 1);
    }
    return CharReadFailureText(report);
}
