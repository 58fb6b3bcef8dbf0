#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "meter/char_read.h"
#include "meter/manual_reset_event.h"
#include "meter/meter_records.h"
#include "meter/reply_decoder.h"
#include "records/char_rec_data.h"
#include "serial/generic_driver.h"

class CSerialPort;

// Timing of the link. The defaults are the meter's; tests shorten them.
struct DriverTiming {
    int replyTimeoutMs = 1000;  // wait for one answer
    int attempts = 4;           // sendings of a command with retries
    int cycleSleepMs = 1000;    // pause after a complete polling cycle
    // The polling cycle is skipped while the last accepted line is at most this
    // old (the meter counts whole seconds: "at most 5 s" is 5 to 6 s).
    int idleMs = 5500;
    int charWritePauseMs = 100;   // between "CW%02X" and the data line
    int reopenIntervalMs = 1000;  // retrying a vanished device
};

// The KV-60x meter driver: command exchange with time-outs and retries, answer
// assembly and decoding on the port thread, the polling thread, characteristic
// transfer and the service commands.
//
// Locks, always taken in this order: the characteristic-write lock, the
// exchange lock, the data lock. The data lock is never held while waiting.
class Ckv60xDriver : public CGenericDriver {
public:
    Ckv60xDriver();
    ~Ckv60xDriver() override;

    Ckv60xDriver(const Ckv60xDriver&) = delete;
    Ckv60xDriver& operator=(const Ckv60xDriver&) = delete;

    void SetTiming(const DriverTiming& timing);
    DriverTiming Timing() const;

    // Opens COM portNumber and starts polling; 1 or 0. After 0, call Disconnect.
    // Whatever happens, the polling status is "no link" (3) and the temperature
    // reading invalid until the new link has completed a polling cycle.
    int Connect(int portNumber);
    // Stops polling, releases the port, forgets condition, identity and the
    // temperature reading; the polling status becomes "no link" (3).
    void Disconnect();
    // Also poll the service data, in every pass.
    void SetServiceDataOn(bool on);

    // Why the last Connect failed, and whether it was for lack of permission.
    QString LastOpenError() const;
    bool LastOpenPermissionDenied() const;
    // The port asked for by the last Connect (0 after Disconnect).
    int PortNumber() const { return m_portNumber.load(); }
    bool IsConnected() const;
    // The port's current RTS control mode (-1 without a port).
    int PortRtsControl() const;

    // Polled reads; each one exchange with retries, 0 or 3.
    int ReadIdentity();
    int ReadCondition();
    int ReadSerialNumber();
    int ReadStartupDate();
    int ReadTemperature();
    int ReadCharacteristicCount();
    int ReadServiceData();

    // The polling status and every polled record from one moment.
    MeterSnapshot Snapshot() const;

    // Getters: copy the record under the data lock and return the polling status.
    int GetCondition(MeterCondition& out) const;
    int GetIdentity(MeterIdentity& out) const;
    int GetSerialNumber(SerialNumberData& out) const;
    int GetStartupDate(StartupDate& out) const;
    int GetTemperature(TemperatureReading& out) const;
    int GetServiceData(ServiceData& out) const;
    int GetCharacteristicCount(CharacteristicCount& out) const;
    int GetElectrodeCoefficient(ElectrodeCoefficient& out) const;
    // 0 after a complete polling cycle, otherwise 3.
    int GetStatus() const { return m_status.load(); }
    // Seconds since 1970 of the last accepted answer line (0 after Disconnect).
    int64_t GetLastLineTime() const;
    // Number of complete polling cycles since construction.
    uint64_t CompletedCycles() const { return m_cycles.load(); }

    // Characteristic transfer. A read takes only an answer that names `slot` and
    // passes its checksum (an erased slot, all 0xFF, reads as an empty record);
    // any other answer, like no answer, is a failed attempt and "CR" is sent
    // again, up to `attempts` sendings. `out` changes only on success; `report`
    // (optional) says how the read went and holds the bytes of the last answer.
    int ReadCharacteristic(int slot, CharRecData& out, CharReadReport* report = nullptr);
    int WriteCharacteristic(const CharRecData& rec);

    // Service commands; an unchanged value is not sent.
    int WriteStartupDate(uint16_t year, uint8_t month);
    int WriteSerialNumber(int serialNumber);
    int WriteVersionLetter(char letter);
    int WriteElectrodeCoefficient(double coefficient);
    int ReadElectrodeCoefficient(ElectrodeCoefficient& out);

    // One command/answer exchange: line (CR LF included), the answer kind to
    // await (None: do not wait), retry (up to `attempts` sendings) or one sending.
    int Exchange(const char* line, int length, ReplyKind awaited, bool retry);
    // Formats a command ("VR", "CR%02X", ...) with CR LF and exchanges it.
    int Command(const char* text, ReplyKind awaited, bool retry = true);

    void OnByteReceived(uint8_t byte) override;
    void OnPortFailed() override;

    // Runs on the polling thread right after a vanished device has been opened
    // again and its I/O thread started, before the first command goes out
    // (tests drop the device again at that very moment). Once; empty: none.
    void SetReopenHook(std::function<void(const CSerialPort&)> hook);

private:
    void PollingThread();
    void StopPolling();
    void InterruptWaits();
    bool ReopenLostPort();
    // Status and link-change bookkeeping, under the data lock so that a
    // snapshot sees the status together with the records it belongs to.
    void SetStatus(int status);
    void ForgetLink(bool disconnecting);
    void ApplyRtsRule();

    mutable std::recursive_mutex m_charWriteLock;  // held across a characteristic write
    mutable std::recursive_mutex m_exchangeLock;   // one exchange at a time; guards m_port
    // guards m_state, the line buffer, m_lastLineMs; held while m_status and
    // m_cycles change
    mutable std::recursive_mutex m_dataLock;

    std::unique_ptr<CSerialPort> m_port;  // owned; none while disconnected
    std::atomic<bool> m_havePort{false};
    std::atomic<int> m_portNumber{0};
    QString m_lastOpenError;                  // guarded by m_exchangeLock
    bool m_lastOpenPermissionDenied = false;  // guarded by m_exchangeLock

    MeterState m_state;
    char m_line[1024] = {};
    int m_lineCount = 0;
    int64_t m_lastLineMs = 0;    // steady clock of the last accepted line, 0 = none
    int64_t m_lastLineWall = 0;  // the same in seconds since 1970

    std::array<ManualResetEvent, kReplyKindCount> m_events;

    std::thread m_pollThread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abortWaits{false};  // set while disconnecting: waits end at once
    std::atomic<bool> m_portLost{false};
    std::atomic<int> m_status{kMeterFailed};
    std::atomic<bool> m_serviceDataOn{false};
    std::atomic<uint64_t> m_cycles{0};

    mutable std::mutex m_timingLock;  // guards m_timing and m_reopenHook
    DriverTiming m_timing;
    std::function<void(const CSerialPort&)> m_reopenHook;
};
