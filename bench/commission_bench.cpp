// `kv60x-cli commission` of a blank meter (every slot erased, another serial
// number, letter, date and coefficient) against the simulated meter paced at
// 9600 baud (11 bits per byte), run in-process as the program runs it, with
// the journal of changes on: its time against the wire time of the exchanges
// a commission needs (each command and answer counted byte by byte), plus the
// pause the driver keeps between the two lines of each characteristic write.
//
//   build/bench/kv60x_bench_commission [SLOT_COUNT]

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "cli/cli.h"
#include "records/record_files.h"
#include "serial/port_names.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"

namespace {

constexpr double kSecondsPerByte = 11.0 / 9600.0;

// One command and its answer, CR LF included in both.
struct Exchange {
    int out;
    int in;
};

// What the meter sends and answers, by the meter's formats.
constexpr Exchange kVR{4, 13};       // "VR", "KV-607A 1.3"
constexpr Exchange kST{4, 8};        // "ST", "ST0002"
constexpr Exchange kSR{4, 8};        // "SR", "SR0017"
constexpr Exchange kDR{4, 8};        // "DR", "DR0908"
constexpr Exchange kTR{4, 9};        // "TR", "TRO0866"
constexpr Exchange kCN{4, 6};        // "CN", "CN96"
constexpr Exchange kKR{4, 12};       // "KR", "KR0000803F"
constexpr Exchange kCR{6, 518};      // "CR05", "CR05" + 512 hex digits
constexpr Exchange kSW{8, 8};        // "SW1234", "SW1234"
constexpr Exchange kVW{5, 5};        // "VWB", "VWB"
constexpr Exchange kDW{8, 8};        // "DW2405", "DW2405"
constexpr Exchange kKW{12, 12};      // "KW" + 8 hex digits, the same back
constexpr Exchange kCWHead{6, 6};    // "CW05", "CZ05"
constexpr Exchange kCWData{514, 6};  // 512 hex digits, "CW05"

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int slotCount = argc > 1 ? std::atoi(argv[1]) : 150;
    if (slotCount < 1 || slotCount > 150) {
        std::fprintf(stderr, "SLOT_COUNT: 1..150\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString table = dir.filePath(QStringLiteral("t.kvz"));
    CTableCharRec set;
    for (int i = 0; i < slotCount; ++i) set.Put(DemoCharacteristic(i, slotCount, 1700000000), i);
    if (!SaveCharRecSetFile(table, set)) return 1;

    SimMeterState state;
    state.slotCount = slotCount;
    MeterSimulator sim(state);
    if (!sim.Start()) return 1;
    RegisterPortDevice(244, QString::fromStdString(sim.LinkPath()));
    SimFaults f;
    f.wireSpeed = true;
    sim.SetFaults(f);

    // The exchanges the commission needs: the first polling cycle, the read
    // (identity, serial number, date, coefficient, every slot), the writes
    // (the driver reads each service value back; the coefficient's value
    // before is read for the journal), and the check (all read again).
    const Exchange reads[] = {kVR, kSR, kDR, kKR};
    double wire = 0;
    auto add = [&wire](const Exchange& e, int times = 1) {
        wire += times * (e.out + e.in) * kSecondsPerByte;
    };
    for (const Exchange& e : {kVR, kST, kSR, kDR, kTR, kCN}) add(e);
    for (int pass = 0; pass < 2; ++pass) {
        for (const Exchange& e : reads) add(e);
        add(kCR, slotCount);
    }
    for (const Exchange& e : {kSW, kSR, kVW, kVR, kDW, kDR, kKR, kKW}) add(e);
    add(kCWHead, slotCount);
    add(kCWData, slotCount);
    const double pauses = slotCount * 0.100;  // DriverTiming::charWritePauseMs

    QString out;
    CliEnv env;
    env.out = [&out](const QByteArray& b) { out += QString::fromUtf8(b); };
    env.err = [](const QByteArray& b) { std::fwrite(b.constData(), 1, b.size(), stderr); };
    env.firstCycleTimeoutMs = 60000;
    const QStringList args = {
        "commission",    "--port", "COM244",    "--service",
        "--table",       table,    "--serial",  "1234",
        "--letter",      "B",      "--date",    "2024-05",
        "--coefficient", "1,25",   "--journal", dir.filePath(QStringLiteral("journal.sqlite"))};
    const uint64_t in0 = sim.BytesReceived(), out0 = sim.BytesSent();
    const auto start = std::chrono::steady_clock::now();
    const int code = RunCli(args, env);
    const double measured = Seconds(start);
    const double link =
        double((sim.BytesReceived() - in0) + (sim.BytesSent() - out0)) * kSecondsPerByte;
    std::printf("%s", out.section(QChar('\n'), -3).toUtf8().constData());
    std::printf(
        "commission of %d slots: exit %d, %.3f s; needed: wire %.3f s + pauses %.3f s; bytes "
        "on the line: %.3f s of wire\n",
        slotCount, code, measured, wire, pauses, link);
    std::printf("ratio to the needed wire time and pauses: %.4f (wire alone: %.4f)\n",
                measured / (wire + pauses), measured / wire);
    return code;
}
