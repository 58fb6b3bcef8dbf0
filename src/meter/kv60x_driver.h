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
#include "meter/driver_timing.h"
#include "meter/manual_reset_event.h"
#include "meter/meter_records.h"
#include "meter/reply_decoder.h"
#include "records/char_rec_data.h"
#include "serial/generic_driver.h"

class CSerialPort;

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

    // Opens COM portNumber and starts polling; false when that failed (then call
    // Disconnect). Whatever happens, the link is down and the temperature
    // reading invalid until the new link has completed a polling cycle.
    bool Connect(int portNumber);
    // Stops polling, releases the port, forgets condition, identity and the
    // temperature reading; the link is down.
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

    // Polled reads; each one exchange with retries, true when answered.
    bool ReadIdentity();
    bool ReadCondition();
    bool ReadSerialNumber();
    bool ReadStartupDate();
    bool ReadTemperature();
    bool ReadCharacteristicCount();
    bool ReadServiceData();

    // Whether the link is up, and every polled record, from one moment.
    MeterSnapshot Snapshot() const;

    // Getters: copy the record under the data lock and return LinkUp().
    bool GetCondition(MeterCondition& out) const;
    bool GetIdentity(MeterIdentity& out) const;
    bool GetSerialNumber(SerialNumberData& out) const;
    bool GetStartupDate(StartupDate& out) const;
    bool GetTemperature(TemperatureReading& out) const;
    bool GetServiceData(ServiceData& out) const;
    bool GetCharacteristicCount(CharacteristicCount& out) const;
    bool GetElectrodeCoefficient(ElectrodeCoefficient& out) const;
    // True after a complete polling cycle, until a pass fails or the port changes.
    bool LinkUp() const { return m_linkUp.load(); }
    // Seconds since 1970 of the last accepted answer line (0 after Disconnect).
    int64_t GetLastLineTime() const;
    // Number of complete polling cycles since construction.
    uint64_t CompletedCycles() const { return m_cycles.load(); }

    // Characteristic transfer. A read takes only an answer that names `slot` and
    // passes its checksum (an erased slot, all 0xFF, reads as an empty record);
    // any other answer, like no answer, is a failed attempt and "CR" is sent
    // again, up to `attempts` sendings. `out` changes only on success; `report`
    // (optional) says how the read went and holds the bytes of the last answer.
    bool ReadCharacteristic(int slot, CharRecData& out, CharReadReport* report = nullptr);
    // True when the meter confirmed the record, or at once for a record marked
    // not valid (never sent).
    bool WriteCharacteristic(const CharRecData& rec);
    // Writes the image to `slot` as it stands: bytes 0..254 exactly, the
    // checksum computed (what a restore sends back, reserved bytes and all).
    bool WriteCharacteristicImage(int slot, const CharImage& image);

    // Service commands; an unchanged value is not sent (and counts as success).
    // The coefficient is compared with the last one read (ReadElectrodeCoefficient),
    // which a write makes not valid until the next read.
    bool WriteStartupDate(uint16_t year, uint8_t month);
    bool WriteSerialNumber(int serialNumber);
    bool WriteVersionLetter(char letter);
    bool WriteElectrodeCoefficient(double coefficient);
    bool ReadElectrodeCoefficient(ElectrodeCoefficient& out);

    // One command/answer exchange: line (CR LF included), the answer kind to
    // await (None: do not wait), retry (up to `attempts` sendings) or one sending.
    // True when the awaited answer came (or, for None, the line was handed to the port).
    bool Exchange(const char* line, int length, ReplyKind awaited, bool retry);
    // Formats a command ("VR", "CR%02X", ...) with CR LF and exchanges it.
    bool Command(const char* text, ReplyKind awaited, bool retry = true);

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
    // Link-state bookkeeping, under the data lock so that a snapshot sees the
    // link state together with the records it belongs to.
    void SetLinkDown();
    void ForgetLink(bool disconnecting);
    void ApplyRtsRule();
    // Called by the polling thread before it takes the exchange lock: waits
    // while a dialog or the command line waits for the link, so that their
    // commands are not starved by pass after pass against a silent meter.
    void YieldToForeground();

    mutable std::recursive_mutex m_charWriteLock;  // held across a characteristic write
    mutable std::recursive_mutex m_exchangeLock;   // one exchange at a time; guards m_port
    // guards m_state, the line buffer, m_lastLineMs; held while m_linkUp and
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
    std::atomic<std::thread::id> m_pollThreadId{};  // set by the polling thread itself
    std::atomic<int> m_foregroundWaiting{0};        // other threads waiting for the link
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abortWaits{false};  // set while disconnecting: waits end at once
    std::atomic<bool> m_portLost{false};
    std::atomic<bool> m_linkUp{false};
    std::atomic<bool> m_serviceDataOn{false};
    std::atomic<uint64_t> m_cycles{0};

    mutable std::mutex m_timingLock;  // guards m_timing and m_reopenHook
    DriverTiming m_timing;
    std::function<void(const CSerialPort&)> m_reopenHook;
};
