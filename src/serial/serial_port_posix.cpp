// POSIX implementation of CSerialPort: termios for the line settings, the modem
// control ioctls for DTR/RTS, flock + TIOCEXCL for exclusive use, poll() on the
// device and a wake-up pipe for the I/O thread.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/generic_driver.h"
#include "serial/port_names.h"
#include "serial/serial_port.h"
#include "serial/serial_termios.h"

namespace {

speed_t ToSpeed(int baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B9600;
    }
}

int FromSpeed(speed_t s) {
    switch (s) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        default:
            return 0;
    }
}

void SetModemLine(int fd, int line, bool on) {
    // Fails harmlessly on devices without modem lines (pseudo-terminals).
    ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

}  // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    Close();
}

QString CSerialPort::LastError() const {
    std::lock_guard<std::recursive_mutex> lock(m_portLock);
    return m_lastError;
}

bool CSerialPort::Open(CGenericDriver* owner, int portNumber, int baudRate, char parity,
                       int dataBits, int stopBits) {
    StopThread();

    std::lock_guard<std::recursive_mutex> lock(m_portLock);
    m_owner = owner;
    m_portNumber = portNumber;
    m_baudRate = baudRate;
    m_parity = parity;
    m_dataBits = dataBits;
    m_stopBits = stopBits;
    m_lost = false;
    m_lostReported = false;
    m_permissionDenied = false;
    m_lastError.clear();
    {
        std::lock_guard<std::mutex> out(m_outLock);
        m_shutdown = false;
        m_writePending = false;
        m_outLength = 0;
    }

    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }

    m_devicePath = DeviceForPort(portNumber);
    if (m_devicePath.isEmpty()) {
        m_lastError = QStringLiteral("no device for COM%1").arg(portNumber);
        return false;
    }
    const QByteArray path = m_devicePath.toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        m_permissionDenied = (err == EACCES || err == EPERM);
        m_lastError = QString::fromLocal8Bit(std::strerror(err));
        return false;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        m_lastError = QStringLiteral("not a serial device");
        return false;
    }
    // Exclusive use: flock keeps out every other opener that locks (this program,
    // other instances), TIOCEXCL every non-privileged opener.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        m_lastError = err == EWOULDBLOCK ? QStringLiteral("device is busy")
                                         : QString::fromLocal8Bit(std::strerror(err));
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    m_fd = fd;

    if (m_wakePipe[0] < 0 && ::pipe2(m_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        m_wakePipe[0] = m_wakePipe[1] = -1;
        ::close(m_fd);
        m_fd = -1;
        m_lastError = QStringLiteral("cannot create the I/O thread's pipe");
        return false;
    }

    ApplyLineSettings();  // a failure here is not reported, as with a real port
    ::tcflush(m_fd, TCIOFLUSH);
    return true;
}

void ComposeTermios(termios& tio, int baudRate, char parity, int dataBits, int stopBits) {
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
    tio.c_cflag |= CREAD | CLOCAL;
    // No hang-up on close: the kernel would drop DTR, which stays on while
    // only RTS drops when the program lets the port go.
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    switch (dataBits) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        default:
            tio.c_cflag |= CS8;
            break;
    }
    if (parity == 'O' || parity == 'o') tio.c_cflag |= PARENB | PARODD;
    if (parity == 'E' || parity == 'e') tio.c_cflag |= PARENB;
    if (stopBits == 2) tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, ToSpeed(baudRate));
    ::cfsetospeed(&tio, ToSpeed(baudRate));
}

SerialLineSettings DescribeTermios(const termios& tio) {
    SerialLineSettings s;
    s.baudRate = FromSpeed(::cfgetospeed(&tio));
    s.parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 'O' : 'E') : 'N';
    switch (tio.c_cflag & CSIZE) {
        case CS5:
            s.dataBits = 5;
            break;
        case CS6:
            s.dataBits = 6;
            break;
        case CS7:
            s.dataBits = 7;
            break;
        default:
            s.dataBits = 8;
            break;
    }
    s.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    s.hardwareFlowControl = (tio.c_cflag & CRTSCTS) != 0;
    s.softwareFlowControl = (tio.c_iflag & (IXON | IXOFF)) != 0;
    s.parityCheck = (tio.c_iflag & INPCK) != 0;
    s.hangUpOnClose = (tio.c_cflag & HUPCL) != 0;
    return s;
}

bool CSerialPort::ApplyLineSettings() {
    std::lock_guard<std::recursive_mutex> lock(m_portLock);
    if (m_fd < 0) return false;
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) return false;
    ComposeTermios(tio, m_baudRate, m_parity, m_dataBits, m_stopBits);
    const bool ok = ::tcsetattr(m_fd, TCSANOW, &tio) == 0;
    SetModemLine(m_fd, TIOCM_DTR, true);
    SetModemLine(m_fd, TIOCM_RTS, true);
    m_dtrOn = true;
    m_rtsControl = 1;
    return ok;
}

SerialLineSettings CSerialPort::GetLineSettings() const {
    std::lock_guard<std::recursive_mutex> lock(m_portLock);
    termios tio{};
    SerialLineSettings s;
    if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) s = DescribeTermios(tio);
    s.dtrOn = m_dtrOn;
    s.rtsControl = m_rtsControl;
    return s;
}

bool CSerialPort::StartThread() {
    StopThread();
    {
        std::lock_guard<std::recursive_mutex> lock(m_portLock);
        if (m_fd < 0) return false;
    }
    {
        std::lock_guard<std::mutex> out(m_outLock);
        m_shutdown = false;
    }
    try {
        m_thread = std::thread(&CSerialPort::ThreadMain, this);
    } catch (...) {
        return false;
    }
    return true;
}

void CSerialPort::Wake() {
    if (m_wakePipe[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &b, 1);
    }
}

void CSerialPort::Write(const char* data, int length) {
    if (length < 0 || length > kSerialMaxMessage) return;  // dropped without a word
    {
        std::lock_guard<std::mutex> out(m_outLock);
        std::memcpy(m_outBuffer, data, static_cast<size_t>(length));
        m_outLength = length;
        m_writePending = true;
    }
    Wake();
}

void CSerialPort::SetRtsControl(int mode) {
    std::lock_guard<std::recursive_mutex> lock(m_portLock);
    if (m_fd < 0) return;
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) return;
    const int m = mode & 3;
    if (m == 2) {
        tio.c_cflag |= CRTSCTS;
    } else {
        tio.c_cflag &= ~CRTSCTS;
    }
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) return;
    // Toggle mode (RS-485 direction control) has no portable equivalent; the line
    // is then left on, which is what a meter on a plain RS-232 line expects.
    SetModemLine(m_fd, TIOCM_RTS, m != 0);
    m_rtsControl = mode;
}

void CSerialPort::MarkLost() {
    m_lost = true;
    if (!m_lostReported.exchange(true) && m_owner) m_owner->OnPortFailed();
}

void CSerialPort::DoWrite() {
    char buffer[kSerialMaxMessage + 1];
    int length = 0;
    {
        std::lock_guard<std::mutex> out(m_outLock);
        if (!m_writePending) return;
        m_writePending = false;
        length = m_outLength;
        std::memcpy(buffer, m_outBuffer, static_cast<size_t>(length));
    }
    std::lock_guard<std::recursive_mutex> lock(m_portLock);
    if (m_fd < 0 || m_lost) return;
    // Anything received but not yet delivered, and anything still being sent,
    // belongs to an earlier exchange.
    ::tcflush(m_fd, TCIOFLUSH);
    int done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, buffer + done, static_cast<size_t>(length - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_fd, POLLOUT, 0};
            if (::poll(&p, 1, 2000) <= 0) return;  // write errors are not reported
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
                MarkLost();
                return;
            }
            continue;
        }
        if (n < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) MarkLost();
        return;
    }
}

void CSerialPort::ThreadMain() {
    {
        std::lock_guard<std::recursive_mutex> lock(m_portLock);
        if (m_fd >= 0) ::tcflush(m_fd, TCIOFLUSH);
    }
    uint8_t received[512];
    for (;;) {
        {
            std::lock_guard<std::mutex> out(m_outLock);
            if (m_shutdown) return;
        }
        DoWrite();

        int fd = -1;
        {
            std::lock_guard<std::recursive_mutex> lock(m_portLock);
            fd = m_lost ? -1 : m_fd;
        }
        pollfd fds[2] = {{m_wakePipe[0], POLLIN, 0}, {fd, POLLIN, 0}};
        const int n = ::poll(fds, fd >= 0 ? 2 : 1, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        if (fd < 0) continue;
        if (fds[1].revents & POLLIN) {
            // Receive loop: deliver what is queued, byte by byte, outside the lock.
            for (;;) {
                ssize_t got = 0;
                {
                    std::lock_guard<std::recursive_mutex> lock(m_portLock);
                    if (m_fd < 0) break;
                    got = ::read(m_fd, received, sizeof received);
                }
                if (got > 0) {
                    for (ssize_t i = 0; i < got; ++i) {
                        if (m_owner) m_owner->OnByteReceived(received[i]);
                    }
                    if (got < static_cast<ssize_t>(sizeof received)) break;
                    continue;
                }
                // With VMIN = VTIME = 0 an empty queue reads as 0 bytes.
                if (got == 0 || (got < 0 && (errno == EAGAIN || errno == EINTR))) break;
                // An I/O error on a readable device: it is gone.
                MarkLost();
                break;
            }
        }
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) MarkLost();
    }
}

void CSerialPort::StopThread() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> out(m_outLock);
        m_shutdown = true;
    }
    Wake();
    m_thread.join();
}

void CSerialPort::Close() {
    {
        std::lock_guard<std::recursive_mutex> lock(m_portLock);
        if (m_fd >= 0) {
            termios tio{};
            if (::tcgetattr(m_fd, &tio) == 0) {
                tio.c_cflag &= ~(CRTSCTS | HUPCL);
                tio.c_iflag &= ~(IXON | IXOFF);
                ::tcsetattr(m_fd, TCSANOW, &tio);
                // The RTS line drops when the program lets the port go.
                SetModemLine(m_fd, TIOCM_DTR, true);
                SetModemLine(m_fd, TIOCM_RTS, false);
                m_rtsControl = 0;
            }
        }
    }
    StopThread();
    std::lock_guard<std::recursive_mutex> lock(m_portLock);
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
    for (int& p : m_wakePipe) {
        if (p >= 0) ::close(p);
        p = -1;
    }
}
