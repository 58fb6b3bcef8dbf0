#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>

#include "journal/journal_entry.h"
#include "journal/journal_settings.h"
#include "meter/char_read.h"
#include "meter/meter_records.h"
#include "session/meter_write.h"

class Ckv60xDriver;
class MeterSimulator;
struct DriverTiming;

// The meter as the programs use it: the driver and the port it is connected
// to, the polling, the link, service mode, the journal every write goes
// through, and the meter operations of the dialogs and of kv60x-cli. The
// window, kv60x-cli and kv60x-monitor are views of a session: they show its
// snapshots and call its operations.
//
// Lives on the thread that made it (the UI thread of the window, the main
// thread of the command line); the refresh and its signal run there. The
// operations below "Operations" may also be called from worker threads: they
// go to the driver, which locks itself, and to a WriteBatch of the calling
// thread.
class MeterSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 100;

    explicit MeterSession(QObject* parent = nullptr);
    ~MeterSession() override;
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    // ---- set up (before the operations start)

    void SetTiming(const DriverTiming& timing);
    // Service mode: service writes, and the content of password-protected
    // records, are allowed only in it.
    void SetServiceMode(bool on) { m_serviceMode = on; }
    bool ServiceMode() const { return m_serviceMode; }
    // The journal every write goes through (an empty path: none).
    void SetJournal(const JournalSettings& settings);
    JournalSettings Journal() const;

    // ---- the port

    // Starts the built-in simulated meter, registered as COM kDemoPort; false
    // when it cannot run. It stops with the session.
    bool StartDemo();
    // Connects to COM `port` and starts polling; false when it cannot be
    // opened (then nothing is connected, see LastOpenError). Whatever happens,
    // the link is down and no reading is valid until the new link completes a
    // polling cycle, and a snapshot saying so is taken at once.
    bool Connect(int port);
    void Disconnect();
    // The port of the last Connect, also when it failed (the port selection
    // offers it again); 0 when none was asked for or a chosen one failed.
    int Port() const { return m_port; }
    bool IsConnected() const;
    QString LastOpenError() const;
    bool LastOpenPermissionDenied() const;

    // PORT_NR: the port the configuration keeps. Set from the configuration;
    // a port chosen by the user that opens becomes it, one that fails sets it
    // to 0, so that the next start asks for a port.
    void SetConfiguredPort(int port) { m_configuredPort = port; }
    int ConfiguredPort() const { return m_configuredPort; }
    enum class PortChoice {
        Kept,       // the port in use with a working link: nothing done
        Connected,  // now connected to it
        Failed,     // it cannot be opened: no port in use, PORT_NR 0
    };
    // The user chose `port` in the port selection.
    PortChoice ChoosePort(int port);

    // Blocks until a complete polling cycle has been seen, `timeoutMs` passed
    // or `stopped` says so (checked every 10 ms). For the command line.
    bool WaitForLink(int timeoutMs, const std::function<bool()>& stopped = nullptr);

    // ---- polling and refresh

    // Also poll the service data, in every pass.
    void SetServiceDataOn(bool on);
    bool ServiceDataOn() const { return m_serviceDataOn; }
    // Takes a snapshot every `intervalMs` (the display refresh) and emits it.
    void StartRefresh(int intervalMs = kRefreshMs);
    void StopRefresh();
    // Takes a snapshot now, emits it and returns it.
    const MeterSnapshot& Refresh();
    // The snapshot of the last refresh.
    const MeterSnapshot& Last() const { return m_last; }
    // A snapshot of this moment, without a refresh (any thread).
    MeterSnapshot Snapshot() const;
    // The meter's slot count as last polled, at most `cap` when cap > 0; -1
    // when the meter never reported it.
    int SlotCount(int cap = 0) const;

    // ---- operations (any thread)

    // Reads slot `slot` (0-based); only the slot's own undamaged answer is
    // taken (see Ckv60xDriver::ReadCharacteristic). `report` (optional) says
    // how it went and holds the bytes.
    bool ReadCharacteristic(int slot, CharRecData* out, CharReadReport* report = nullptr);
    // Reads the electrode shape coefficient ("KR").
    bool ReadElectrodeCoefficient(ElectrodeCoefficient* out);
    // Reads the identity, serial number and startup date now, without
    // waiting for the polling ("VR", "SR", "DR"); a snapshot then holds them.
    // False when one of them is not answered.
    bool ReadCommissioningData();
    // The coefficient as ReadElectrodeCoefficient last got it (valid false when
    // never read). A write does not change it, failed or not: a dialog that
    // still shows what it read stands for exactly this value.
    ElectrodeCoefficient LastElectrodeCoefficient() const;
    // One write in a batch of its own (a dialog's OK of a single value).
    WriteOutcome Write(const MeterWrite& write);
    // The meter's identity as the journal records it.
    MeterStamp Stamp() const;

    // The driver, for core code that measures or tests the link itself.
    Ckv60xDriver& Driver() { return *m_driver; }

signals:
    // Every refresh, on the session's thread.
    void snapshotTaken(const MeterSnapshot& snapshot);
    // The link came up or went down (seen by a refresh).
    void linkChanged(bool up);

private:
    std::unique_ptr<Ckv60xDriver> m_driver;
    std::unique_ptr<MeterSimulator> m_demo;
    bool m_serviceMode = false;
    bool m_serviceDataOn = false;
    int m_port = 0;
    int m_configuredPort = 0;
    mutable std::mutex m_journalLock;  // guards m_journal (read by workers)
    JournalSettings m_journal;
    MeterSnapshot m_last;
    bool m_lastLink = false;
    mutable std::mutex m_coefficientLock;  // guards m_coefficient (set by workers)
    ElectrodeCoefficient m_coefficient;    // as last read
    QTimer m_refreshTimer;
};

// The message of a failed characteristic read: "Nie można odczytać ustawień
// (charakterystyka nr N)" when the meter did not answer, otherwise what was
// wrong with its answer (see CharReadFailureText).
QString SlotReadFailureText(const CharReadReport& report);
