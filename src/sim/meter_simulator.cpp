#include "sim/meter_simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>

#include "meter/char_image.h"

namespace {

// 11 bits per byte (start, 8 data, parity, stop) at 9600 baud.
constexpr double kByteUs = 11.0 * 1e6 / 9600.0;

}  // namespace

int64_t MeterSimulator::NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void MeterSimulator::Wake() {
    if (m_wake[1] < 0) return;
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake[1], &b, 1);
}

MeterSimulator::MeterSimulator(const SimMeterState& state) : m_meter(state) {}

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
    m_meter.DropPendingWrite();
}

void MeterSimulator::Stop() {
    if (m_thread.joinable()) {
        m_running = false;
        Wake();
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

void MeterSimulator::Unplug() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_deviceFd < 0) return;
        CloseDevice();
    }
    Wake();
}

bool MeterSimulator::Replug() {
    bool ok = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_deviceFd >= 0) return true;
        ok = OpenDevice();
    }
    Wake();
    return ok;
}

bool MeterSimulator::IsPlugged() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_deviceFd >= 0;
}

SimMeterState MeterSimulator::State() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_meter.State();
}

void MeterSimulator::SetState(const SimMeterState& state) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_meter.SetState(state);
}

void MeterSimulator::ModifyState(const std::function<void(SimMeterState&)>& change) {
    std::lock_guard<std::mutex> lock(m_lock);
    change(m_meter.EditState());
}

void MeterSimulator::SetFaults(const SimFaults& faults) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_faults = faults;
    m_meter.SetFaults(SimAnswerFaults{faults.refuseCharHeader, faults.refuseCharData,
                                      faults.badChecksum, faults.badChecksumSlots,
                                      faults.badChecksumLimit, faults.wrongSlotAnswers});
    m_nextUnsolicitedUs = 0;
    m_sameLineCount = 0;
}

MeterSimulator::Image MeterSimulator::SlotImage(int slot) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_meter.SlotImage(slot);
}

void MeterSimulator::SetSlotImage(int slot, const Image& image) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_meter.SetSlotImage(slot, image);
}

void MeterSimulator::SetSlotRecord(int slot, const CharRecData& rec) {
    SetSlotImage(slot, EncodeCharImage(rec));
}

CharRecData MeterSimulator::SlotRecord(int slot) const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_meter.SlotRecord(slot);
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
    Wake();
}

// ---------------------------------------------------------------- the line

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
    if (!m_faults.garble && m_faults.truncateTo < 0) return answer;
    answer.resize(answer.size() - 2);  // the CR LF goes back on unharmed
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
    return answer + "\r\n";
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
    std::string answer = m_meter.Answer(line, (NowUs() - m_startUs) / 1e6);
    if (answer.empty()) return;
    if (line.size() >= 2 && m_faults.lostAnswers.count(line.substr(0, 2))) return;
    if (line.size() >= 2 && m_faults.nonDigitAnswers.count(line.substr(0, 2)) &&
        m_faults.nonDigitLimit != 0) {
        const size_t last = answer.find_last_of("0123456789ABCDEF", answer.size() - 3);
        if (last != std::string::npos && last >= 2) answer[last] = 'Z';
        if (m_faults.nonDigitLimit > 0) --m_faults.nonDigitLimit;
    }
    answer = Distort(std::move(answer));
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
