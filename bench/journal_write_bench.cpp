// What the journal of meter changes adds to a table write: every slot of a
// table written to the simulated meter paced at 9600 baud (11 bits a byte),
// once without the journal and once with an entry stored before and completed
// after each slot. The images were read beforehand (at full speed), as the
// table window has them when the user presses OK.
//
//   build/bench/kv60x_bench_journal_write [SLOT_COUNT] [JOURNAL_FILE]

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "journal/journal_entry.h"
#include "meter/kv60x_driver.h"
#include "serial/port_names.h"
#include "session/meter_session.h"
#include "session/meter_write.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"

namespace {
using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}
// The middle of the per-slot times: other programs on the machine can stretch
// a few slots of either pass, which would swamp a 1 % difference of the sums.
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int slotCount = argc > 1 ? std::atoi(argv[1]) : 150;
    QTemporaryDir dir;
    const QString path =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("journal.sqlite"));
    MeterSimulator sim;
    FillDemoCharacteristics(sim, slotCount);
    if (!sim.Start()) return 1;
    RegisterPortDevice(243, QString::fromStdString(sim.LinkPath()));
    JournalSettings settings;
    settings.path = path;
    settings.program = QStringLiteral("kv60x-bench");
    settings.user = QStringLiteral("bench");
    MeterSession session;
    session.SetJournal(settings);
    Ckv60xDriver& driver = session.Driver();
    DriverTiming t;
    t.idleMs = 24 * 3600 * 1000;  // keep the polling out of the measurement
    session.SetTiming(t);
    if (!session.Connect(243) || !session.WaitForLink(60000)) return 1;

    std::vector<CharRecData> table(static_cast<size_t>(slotCount));
    for (int i = 0; i < slotCount; ++i) {
        if (!driver.ReadCharacteristic(i, table[static_cast<size_t>(i)])) return 1;
    }
    SimFaults f;
    f.wireSpeed = true;
    sim.SetFaults(f);

    auto start = Clock::now();
    int failures = 0;
    std::vector<double> plainSlots;
    for (const CharRecData& rec : table) {
        const auto slot = Clock::now();
        failures += !driver.WriteCharacteristic(rec);
        plainSlots.push_back(Seconds(slot));
    }
    const double plain = Seconds(start);
    std::printf("without journal: %d slots in %.3f s\n", slotCount, plain);

    // The same slots again, each through the journal: an entry stored (and
    // synced) before, completed after.
    start = Clock::now();
    WriteBatch batch(session);
    if (!batch.Open()) {
        std::fprintf(stderr, "%s\n", qPrintable(batch.Message()));
        return 1;
    }
    const double openTime = Seconds(start);
    std::vector<double> journaledSlots;
    for (const CharRecData& rec : table) {
        const auto slot = Clock::now();
        const QByteArray image = ImageBytes(EncodeCharImage(rec));
        failures += !batch.Write(MeterWrite::Characteristic(rec, image)).ok();
        journaledSlots.push_back(Seconds(slot));
    }
    const double journaled = Seconds(start);
    std::printf("with journal:    %d slots in %.3f s (opening the journal %.4f s)\n", slotCount,
                journaled, openTime);
    std::printf("whole passes: %+.3f %% (the journal, and the line's own variation)\n",
                100.0 * (journaled - plain) / plain);
    const double mPlain = Median(plainSlots);
    const double mJournaled = Median(journaledSlots);
    std::printf("median slot: %.2f ms without, %.2f ms with the journal (%+.3f %%)\n",
                1000.0 * mPlain, 1000.0 * mJournaled, 100.0 * (mJournaled - mPlain) / mPlain);
    return failures == 0 ? 0 : 1;
}
