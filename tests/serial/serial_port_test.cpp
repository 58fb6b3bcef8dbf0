// The serial port underneath the driver (line settings, exclusive open, purge,
// byte order, lost devices) and the COM numbering rule.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>

#include "serial/generic_driver.h"
#include "serial/port_names.h"
#include "serial/serial_port.h"
#include "serial/serial_termios.h"
#include "support/sim_fixture.h"

using testsupport::ElapsedMs;
using testsupport::SimulatedMeter;
using testsupport::WaitFor;

namespace {

// Records every byte; can hold the port thread on the first byte.
class RecordingOwner : public CGenericDriver {
public:
    void OnByteReceived(uint8_t b) override {
        std::unique_lock<std::mutex> lock(m);
        bytes.push_back(static_cast<char>(b));
        if (holdFirst && bytes.size() == 1) cv.wait(lock, [&] { return released; });
    }
    void OnPortFailed() override { failed = true; }
    std::string Bytes() {
        std::lock_guard<std::mutex> lock(m);
        return bytes;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m);
        released = true;
        cv.notify_all();
    }
    std::mutex m;
    std::condition_variable cv;
    std::string bytes;
    bool holdFirst = false;
    bool released = false;
    std::atomic<bool> failed{false};
};

}  // namespace

TEST(SerialPort, OpensExclusivelyWithTheMeterLineSettings) {
    SimulatedMeter meter;
    RecordingOwner owner;
    CSerialPort port;
    ASSERT_TRUE(port.Open(&owner, meter.port(), 9600, 'O', 8, 1));
    const SerialLineSettings s = port.GetLineSettings();
    EXPECT_EQ(s.baudRate, 9600);
    // A pseudo-terminal forces 8 bits without parity; the composed settings are
    // checked on their own below.
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_FALSE(s.hardwareFlowControl);
    EXPECT_FALSE(s.softwareFlowControl);
    EXPECT_FALSE(s.parityCheck);
    EXPECT_TRUE(s.dtrOn);
    EXPECT_EQ(s.rtsControl, 1);
    EXPECT_FALSE(s.hangUpOnClose) << "closing must not drop DTR";

    CSerialPort second;
    EXPECT_FALSE(second.Open(&owner, meter.port(), 9600, 'O', 8, 1));
    EXPECT_FALSE(second.LastError().isEmpty());

    port.Close();
    // Released: the device can be opened again.
    EXPECT_TRUE(second.Open(&owner, meter.port(), 9600, 'O', 8, 1));
}

TEST(SerialPort, ComposedLineSettingsAre9600Odd8N1WithoutFlowControl) {
    termios tio{};
    tio.c_iflag = IXON | IXOFF | INPCK | ICRNL;
    tio.c_cflag = CRTSCTS | CSTOPB | CS7 | PARENB | HUPCL;
    tio.c_lflag = ECHO | ICANON;
    ComposeTermios(tio, 9600, 'O', 8, 1);
    const SerialLineSettings s = DescribeTermios(tio);
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.parity, 'O');
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_FALSE(s.hardwareFlowControl);
    EXPECT_FALSE(s.softwareFlowControl);
    EXPECT_FALSE(s.parityCheck);
    EXPECT_FALSE(s.hangUpOnClose);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON), 0u);
    EXPECT_EQ(tio.c_iflag & ICRNL, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

TEST(SerialPort, MissingOrForbiddenDeviceFailsWithAReason) {
    RecordingOwner owner;
    CSerialPort port;
    RegisterPortDevice(248, "/nonexistent/ttyX");
    EXPECT_FALSE(port.Open(&owner, 248, 9600, 'O', 8, 1));
    EXPECT_FALSE(port.PermissionDenied());
    EXPECT_FALSE(port.LastError().isEmpty());
    RegisterPortDevice(248, QString());
    port.Close();  // closing a port that never opened is harmless
}

TEST(SerialPort, MessagesUpTo1023BytesAreSentLongerOnesDropped) {
    SimulatedMeter meter;
    RecordingOwner owner;
    CSerialPort port;
    ASSERT_TRUE(port.Open(&owner, meter.port(), 9600, 'O', 8, 1));
    ASSERT_TRUE(port.StartThread());
    const std::string big(1024, 'Z');
    port.Write(big.data(), 1024);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(meter.sim().BytesReceived(), 0u);
    port.Write(big.data(), 1023);
    EXPECT_TRUE(WaitFor([&] { return meter.sim().BytesReceived() == 1023; }, 2000));
}

TEST(SerialPort, BytesArriveInOrderAndWritingPurgesAStaleReply) {
    SimulatedMeter meter;
    RecordingOwner owner;
    owner.holdFirst = true;
    CSerialPort port;
    ASSERT_TRUE(port.Open(&owner, meter.port(), 9600, 'O', 8, 1));
    ASSERT_TRUE(port.StartThread());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // past the thread's opening purge
    meter.sim().SendRaw("A");  // the port thread stops on this byte
    ASSERT_TRUE(WaitFor([&] { return owner.Bytes() == "A"; }, 2000));
    meter.sim().SendRaw("STALE\r\n");  // queued in the device, not yet read
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    port.Write("SR\r\n", 4);  // handled after the held byte: purge, then write
    owner.Release();
    EXPECT_TRUE(
        WaitFor([&] { return owner.Bytes().find("SR0017\r\n") != std::string::npos; }, 2000));
    EXPECT_EQ(owner.Bytes(), "ASR0017\r\n");
}

TEST(SerialPort, VanishedDeviceIsReportedOnce) {
    SimulatedMeter meter;
    RecordingOwner owner;
    CSerialPort port;
    ASSERT_TRUE(port.Open(&owner, meter.port(), 9600, 'O', 8, 1));
    ASSERT_TRUE(port.StartThread());
    meter.sim().Unplug();
    EXPECT_TRUE(WaitFor([&] { return owner.failed.load(); }, 2000));
    EXPECT_TRUE(port.IsLost());
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(ElapsedMs(start), 200);
}

// ---------------------------------------------------------------- COM numbers

TEST(ComNumbering, FixedNamesMapToTheirNumbers) {
    const struct {
        const char* device;
        int number;
    } cases[] = {
        {"/dev/ttyS0", 1},    {"/dev/ttyS31", 32},   {"/dev/ttyS32", 0},
        {"/dev/ttyUSB0", 33}, {"/dev/ttyUSB31", 64}, {"/dev/ttyUSB32", 0},
        {"/dev/ttyACM0", 65}, {"/dev/ttyACM31", 96}, {"/dev/ttyACM-1", 0},
        {"/dev/ttyUSB+1", 0}, {"/dev/ttyUSB", 0},    {"/tmp/ttyUSB0", 0},
        {"/dev/ttyAMA0", 0},  {"/dev/ttyUSB1x", 0},  {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FixedComNumber(QString::fromUtf8(c.device)), c.number) << c.device;
    }
}

TEST(ComNumbering, OtherDevicesTakeTheLowestFreeNumberFrom97InNameOrder) {
    const std::vector<ListedDevice> listed = {
        {"/dev/ttyUSB2", "FT232R"}, {"/dev/ttyXR1", "xr"},  {"/dev/ttyAMA0", "uart"},
        {"/dev/ttyS0", ""},         {"/dev/rfcomm0", "bt"}, {"/tmp/kv/ttyKV", "demo"},
    };
    // 98 is taken by a registered device; a listed device that is registered
    // keeps its registered number and is not numbered twice.
    const std::map<int, QString> registered = {{98, "/dev/ttyKV9"}, {250, "/tmp/kv/ttyKV"}};
    const std::vector<PortEntry> entries = NumberDevices(listed, registered);
    std::vector<std::pair<int, QString>> got;
    for (const PortEntry& e : entries) got.emplace_back(e.number, e.device);
    const std::vector<std::pair<int, QString>> expected = {
        {1, "/dev/ttyS0"},    {35, "/dev/ttyUSB2"}, {97, "/dev/rfcomm0"},   {98, "/dev/ttyKV9"},
        {99, "/dev/ttyAMA0"}, {100, "/dev/ttyXR1"}, {250, "/tmp/kv/ttyKV"},
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(entries[1].description, "FT232R");
}

TEST(ComNumbering, PortArgumentsAreParsed) {
    const struct {
        const char* text;
        int number;
    } cases[] = {
        {"COM7", 7}, {"com12", 12}, {"7", 7},  {" COM3 (USB – /dev/ttyUSB0)", 3},
        {"COM", 0},  {"", 0},       {"x7", 0}, {"COM0", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParsePortNumber(QString::fromUtf8(c.text)), c.number) << c.text;
    }
}

TEST(ComNumbering, PortArgumentResolvesToANumberOrSaysWhyNot) {
    const struct {
        const char* arg;
        int number;  // 0: refused
    } cases[] = {
        {"COM7", 7},        {"com12", 12},
        {"7", 7},           {" 33 ", 33},
        {"007", 7},         {"COM255", 255},
        {"1", 1},           {"/dev/ttyUSB3", 36},
        {" /dev/ttyS0", 1}, {"", 0},
        {"COM", 0},         {"COM0", 0},
        {"0", 0},           {"256", 0},
        {"COM999", 0},      {"0007", 0},
        {"COM7 (x)", 0},    {"x7", 0},
        {"7x", 0},          {"-1", 0},
        {"COM 7", 0},       {"dev/ttyUSB0", 0},
    };
    for (const auto& c : cases) {
        QString error = QStringLiteral("unchanged");
        EXPECT_EQ(ResolvePortArgument(QString::fromUtf8(c.arg), &error), c.number) << c.arg;
        if (c.number == 0) {
            EXPECT_EQ(error, QStringLiteral("Nieprawidłowy port: %1 (podaj COMn, numer COM lub "
                                            "ścieżkę urządzenia)")
                                 .arg(QString::fromUtf8(c.arg).trimmed()))
                << c.arg;
        } else {
            EXPECT_EQ(error, QStringLiteral("unchanged")) << c.arg;
        }
    }
    EXPECT_EQ(ResolvePortArgument(QStringLiteral("x"), nullptr), 0);  // no message wanted
}

TEST(ComNumbering, DevicePathArgumentIsRegisteredOnceAndRefusedWhenNoNumberIsFree) {
    const QString path = QStringLiteral("/tmp/kv60x-test/ttyNamed");
    const int n = ResolvePortArgument(path, nullptr);
    ASSERT_GE(n, 97);
    ASSERT_LE(n, 255);
    EXPECT_EQ(DeviceForPort(n), path);
    EXPECT_EQ(ResolvePortArgument(path, nullptr), n);  // the same number again
    RegisterPortDevice(n, QString());

    // Every number from 97 up taken (no test holds one now).
    for (int k = 97; k < 256; ++k)
        RegisterPortDevice(k, QStringLiteral("/tmp/kv60x-test/fill%1").arg(k));
    QString error;
    EXPECT_EQ(ResolvePortArgument(path, &error), 0);
    EXPECT_EQ(error, QStringLiteral("Brak wolnego numeru COM dla urządzenia %1").arg(path));
    for (int k = 97; k < 256; ++k) RegisterPortDevice(k, QString());
}
