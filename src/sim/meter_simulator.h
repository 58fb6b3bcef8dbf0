#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "records/char_rec_data.h"
#include "sim/meter_answers.h"
#include "sim/pty_posix.h"

// Ways the simulated meter misbehaves: on the line (silence, lateness,
// garbling, lines of its own, pacing) and in its answers (refusals, checksum).
struct SimFaults {
    bool silent = false;                   // answers nothing
    std::set<std::string> silentCommands;  // two-letter commands left unanswered
    std::set<std::string> silentLines;     // whole command lines left unanswered, e.g. "CR05"
    // Two-letter commands the meter carries out but whose answer is lost on
    // the way back (a write that reached it, unconfirmed).
    std::set<std::string> lostAnswers;
    int answerOnNth = 0;         // >1: only the n-th sending of the same line is answered
    int lateMs = 0;              // every answer this late
    bool garble = false;         // answers with random bytes replaced (CR LF kept)
    int truncateTo = -1;         // answers cut to this many characters before CR LF
    int unsolicitedEveryMs = 0;  // sends unsolicitedLine on its own this often
    std::string unsolicitedLine = "XX";
    bool refuseCharHeader = false;   // "CW%02X" answered with "!CZ"
    bool refuseCharData = false;     // the data line answered with "!CW"
    bool badChecksum = false;        // "CR" answers carry a wrong checksum
    std::set<int> badChecksumSlots;  // only the "CR" answers for these slots do
    int badChecksumLimit = -1;       // >= 0: only this many more answers are spoiled so
                                     // (the meter counts down; Faults() shows the start)
    int wrongSlotAnswers = 0;  // this many more "CR" answers name the slot after the one asked
    // Answers to these two-letter commands carry a 'Z' in place of their last
    // digit (line noise in a number field); nonDigitLimit >= 0: only this many more.
    std::set<std::string> nonDigitAnswers;
    int nonDigitLimit = -1;
    bool wireSpeed = false;  // pace both directions at 9600 baud, 11 bits a byte
};

// A simulated KV-60x meter behind a pseudo-terminal (or on a real serial
// device), answering every command the program sends, on its own thread. The
// answers come from a SimMeter; this class is the line: the pty, pacing at
// wire speed, the line faults, unplugging and the histories of both directions.
class MeterSimulator {
public:
    static constexpr int kSlots = SimMeter::kSlots;
    using Image = SimMeter::Image;

    explicit MeterSimulator(const SimMeterState& state = SimMeterState());
    ~MeterSimulator();

    MeterSimulator(const MeterSimulator&) = delete;
    MeterSimulator& operator=(const MeterSimulator&) = delete;

    // Creates the pty and the stable link (a fresh temporary path when empty)
    // and starts answering. False when no pty can be had.
    bool Start(const std::string& linkPath = std::string());
    // Serves a real serial device instead of a pty (for a null-modem test).
    bool StartOnDevice(const std::string& devicePath);
    void Stop();

    // The path the program opens (the stable link).
    std::string LinkPath() const;

    // Pulls the "cable": the pty and the link vanish.
    void Unplug();
    // Puts it back: a new pty behind the same link.
    bool Replug();
    bool IsPlugged() const;

    SimMeterState State() const;
    void SetState(const SimMeterState& state);
    void ModifyState(const std::function<void(SimMeterState&)>& change);
    void SetFaults(const SimFaults& faults);
    void ClearFaults() { SetFaults(SimFaults()); }

    // Characteristic memory: 256 slots of raw images; an erased slot is all 0xFF.
    Image SlotImage(int slot) const;
    void SetSlotImage(int slot, const Image& image);
    void SetSlotRecord(int slot, const CharRecData& rec);
    // The slot decoded (valid 0 when erased or its checksum is bad).
    CharRecData SlotRecord(int slot) const;

    // The command lines received (without CR LF), in order; the most recent
    // lines are kept, as many as the history of sent lines.
    std::vector<std::string> ReceivedLines() const;
    // How many received lines begin with prefix.
    size_t CountReceived(const std::string& prefix) const;
    void ClearReceived();
    // The lines sent (CR LF included), in order, answers and unsolicited lines.
    // The most recent kSentHistory lines (or SetSentHistory's number) are kept.
    static constexpr size_t kSentHistory = 20000;
    void SetSentHistory(size_t lines);
    // Lines sent since they were numbered from 0; the oldest may have been dropped.
    uint64_t SentCount() const;
    std::vector<std::string> SentSince(uint64_t index) const;

    // Sends raw bytes on the line, as if the meter sent them on its own.
    void SendRaw(const std::string& bytes);

    uint64_t BytesReceived() const { return m_bytesIn.load(); }
    uint64_t BytesSent() const { return m_bytesOut.load(); }

private:
    struct Pending {
        int64_t dueUs = 0;
        std::string bytes;
        bool recordAsSent = true;
    };

    void Run();
    void HandleLine(const std::string& line, int64_t arrivedUs);
    void Queue(std::string bytes, int64_t dueUs, bool record = true);
    void Flush(int64_t nowUs);
    std::string Distort(std::string answer);  // truncate and garble, CR LF kept
    bool OpenDevice();
    bool OpenAndRun();  // m_lock held
    void CloseDevice();
    void Wake();  // makes the thread look at the line and the queue at once
    static int64_t NowUs();

    mutable std::mutex m_lock;  // guards everything below except the atomics and the thread
    SimMeter m_meter;
    SimFaults m_faults;
    std::deque<std::string> m_received;  // the most recent lines, as many as m_sentHistory
    std::deque<std::string> m_sent;
    uint64_t m_sentDropped = 0;  // lines dropped from the front of m_sent
    size_t m_sentHistory = kSentHistory;
    std::deque<Pending> m_out;
    std::string m_inLine;
    std::string m_lastLine;
    int m_sameLineCount = 0;
    int64_t m_nextUnsolicitedUs = 0;
    int64_t m_wireBusyUntilUs = 0;  // output pacing
    int64_t m_rxBusyUntilUs = 0;    // input pacing
    int64_t m_nextWireUs = 0;       // when the next paced byte is complete
    uint64_t m_random = 0x9E3779B97F4A7C15ull;
    std::string m_linkPath;
    std::string m_realDevice;
    bool m_ownLinkDir = false;
    PtyPair m_pty;
    int m_deviceFd = -1;  // the fd served: the pty master or the real device
    int64_t m_startUs = 0;

    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_bytesIn{0};
    std::atomic<uint64_t> m_bytesOut{0};
};
