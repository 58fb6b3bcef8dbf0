#pragma once

#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

class CGenericDriver;

// Line settings as applied to the device (the port's DCB on other platforms).
struct SerialLineSettings {
    int baudRate = 0;
    char parity = 'N';  // 'N', 'O', 'E'
    int dataBits = 0;
    int stopBits = 0;
    bool hardwareFlowControl = false;
    bool softwareFlowControl = false;
    bool parityCheck = false;
    bool dtrOn = false;
    int rtsControl = 0;  // 0 off, 1 on, 2 handshake, 3 toggle
    // The kernel drops DTR when the device is closed (HUPCL). Off: closing
    // leaves DTR on and drops only RTS.
    bool hangUpOnClose = false;
};

// Largest message Write accepts.
constexpr int kSerialMaxMessage = 1023;

// One COM port and its I/O thread. The I/O thread is the only code that reads or
// writes the device; it purges both directions before every write and hands
// each received byte, in order, to the owner's OnByteReceived.
//
// The platform part lives in serial_port_posix.cpp.
class CSerialPort {
public:
    CSerialPort();
    ~CSerialPort();  // Close()

    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens COM portNumber exclusively with the given line settings, DTR and RTS
    // on, both directions purged. False when that failed; LastError() says why.
    bool Open(CGenericDriver* owner, int portNumber, int baudRate, char parity, int dataBits,
              int stopBits);
    // Starts the I/O thread; false when it could not be started.
    bool StartThread();
    // Queues one message for the I/O thread and returns at once. A message longer
    // than 1023 bytes is dropped.
    void Write(const char* data, int length);
    // RTS control mode 0..3 (off, on, handshake, toggle).
    void SetRtsControl(int mode);

    int GetRtsControl() const { return m_rtsControl.load(); }
    SerialLineSettings GetLineSettings() const;
    int PortNumber() const { return m_portNumber; }

    // Why the last Open failed (empty after success).
    QString LastError() const;
    // The last Open failed because the user may not open the device.
    bool PermissionDenied() const { return m_permissionDenied; }
    // The device failed after opening (removed, hung up); nothing more arrives.
    bool IsLost() const { return m_lost.load(); }

    // Sets RTS off and DTR on, stops the I/O thread and closes the device.
    void Close();

private:
    void ThreadMain();
    void DoWrite();
    void MarkLost();
    void StopThread();
    bool ApplyLineSettings();
    void Wake();

    CGenericDriver* m_owner = nullptr;  // receives the bytes; not owned
    int m_portNumber = 0;
    int m_baudRate = 0;
    char m_parity = 'O';
    int m_dataBits = 8;
    int m_stopBits = 1;

    mutable std::recursive_mutex m_portLock;  // guards m_fd and every operation on the device
    int m_fd = -1;
    QString m_devicePath;
    QString m_lastError;
    bool m_permissionDenied = false;

    int m_wakePipe[2] = {-1, -1};  // wakes the I/O thread: shutdown or write request

    std::mutex m_outLock;  // guards the outgoing buffer and its flags
    char m_outBuffer[kSerialMaxMessage + 1] = {};
    int m_outLength = 0;
    bool m_writePending = false;
    bool m_shutdown = false;

    std::thread m_thread;
    std::atomic<int> m_rtsControl{1};
    std::atomic<bool> m_dtrOn{false};
    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_lostReported{false};
};
