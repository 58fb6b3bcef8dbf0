// The characteristics table window reading a full table from the simulated
// meter paced at 9600 baud (11 bits per byte): how long the window's event loop
// is held up at worst while the slots arrive, and the read time against the wire
// time of the bytes exchanged.
//
//   build/bench/kv60x_bench_table_window [SLOT_COUNT]
//
// A 2 ms timer runs from before the window opens until the read has ended; a
// stall is the time a tick came later than due. The opening (150 numbered rows)
// is reported apart from the read, and the longest stalls with when they came
// (a machine busy with other work shows up here too). Runs on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise. Exits 1 when a slot could not
// be read.

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "characteristics/widgets/char_table_dlg.h"
#include "meter/kv60x_driver.h"
#include "serial/port_names.h"
#include "session/meter_session.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"

namespace {

constexpr int kTickMs = 2;

// Delays of the probe's ticks behind their due time, in milliseconds.
struct StallProbe {
    QElapsedTimer clock;
    qint64 lastNs = -1;
    std::vector<double> delays;
    std::vector<double> at;  // when each delayed tick came, seconds since the start

    void Tick() {
        const qint64 now = clock.nsecsElapsed();
        if (lastNs >= 0) {
            delays.push_back(std::max(0.0, (now - lastNs) / 1e6 - kTickMs));
            at.push_back(now / 1e9);
        }
        lastNs = now;
    }
    // The `k` longest delays from tick `from` on, longest first.
    std::vector<size_t> Longest(size_t from, size_t k) const {
        std::vector<size_t> idx;
        for (size_t i = from; i < delays.size(); ++i) idx.push_back(i);
        k = std::min(k, idx.size());
        std::partial_sort(idx.begin(), idx.begin() + static_cast<std::ptrdiff_t>(k), idx.end(),
                          [this](size_t a, size_t b) { return delays[a] > delays[b]; });
        idx.resize(k);
        return idx;
    }
    double Max(size_t from, size_t to) const {
        double m = 0;
        for (size_t i = from; i < to && i < delays.size(); ++i) m = std::max(m, delays[i]);
        return m;
    }
    double Percentile(size_t from, size_t to, double p) const {
        if (to > delays.size()) to = delays.size();
        if (from >= to) return 0;
        std::vector<double> v(delays.begin() + static_cast<std::ptrdiff_t>(from),
                              delays.begin() + static_cast<std::ptrdiff_t>(to));
        std::sort(v.begin(), v.end());
        return v[static_cast<size_t>(p * (v.size() - 1))];
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int slotCount = argc > 1 ? std::atoi(argv[1]) : 150;

    MeterSimulator sim;
    FillDemoCharacteristics(sim, slotCount);
    sim.ModifyState([slotCount](SimMeterState& s) { s.slotCount = slotCount; });
    if (!sim.Start()) return 1;
    RegisterPortDevice(243, QString::fromStdString(sim.LinkPath()));
    MeterSession session;
    DriverTiming t;               // the meter's own time-outs
    t.idleMs = 24 * 3600 * 1000;  // keep the polling out of the measurement
    session.SetTiming(t);
    if (!session.Connect(243)) return 1;
    if (!session.WaitForLink(10000)) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    SimFaults f;
    f.wireSpeed = true;
    sim.SetFaults(f);

    StallProbe probe;
    probe.clock.start();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(kTickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] { probe.Tick(); });
    ticker.start();

    std::unique_ptr<CCharTableDlg> dlg;
    std::vector<double> arrivals;
    uint64_t in0 = 0, out0 = 0;
    size_t openedAt = 0;
    std::chrono::steady_clock::time_point start;
    double measured = 0;
    int unread = 0;
    QTimer::singleShot(20, [&] {
        in0 = sim.BytesReceived();
        out0 = sim.BytesSent();
        start = std::chrono::steady_clock::now();
        dlg = std::make_unique<CCharTableDlg>(&session);
        dlg->show();
        // When each slot reached the window (its row and the bar are updated).
        QObject::connect(dlg->Progress(), &QProgressBar::valueChanged,
                         [&](int) { arrivals.push_back(probe.clock.nsecsElapsed() / 1e9); });
        openedAt = probe.delays.size() + 1;  // the tick after the opening
    });
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!dlg || dlg->IsBusy()) return;
        measured = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        for (int i = 0; i < dlg->Count(); ++i) unread += dlg->SlotRead(i) ? 0 : 1;
        watch.stop();
        ticker.stop();
        app.quit();
    });
    watch.start();
    app.exec();

    const uint64_t bytes = (sim.BytesReceived() - in0) + (sim.BytesSent() - out0);
    const double wire = bytes * 11.0 / 9600.0;
    const size_t n = probe.delays.size();
    std::printf(
        "table window, %d slots at 9600 baud: read %.3f s, wire %.3f s, ratio %.4f, "
        "unread %d\n",
        slotCount, measured, wire, wire > 0 ? measured / wire : 0.0, unread);
    std::printf(
        "event loop: opening %.1f ms; during the read longest stall %.1f ms, "
        "99th percentile %.2f ms, median %.2f ms over %zu ticks (target: none over 30 "
        "ms)\n",
        probe.Max(0, openedAt), probe.Max(openedAt, n), probe.Percentile(openedAt, n, 0.99),
        probe.Percentile(openedAt, n, 0.5), n - std::min(n, openedAt));
    const double opened = openedAt > 0 && openedAt <= n ? probe.at[openedAt - 1] : 0.0;
    std::printf("longest stalls:");
    for (size_t i : probe.Longest(openedAt, 5))
        std::printf(" %.1f ms at %.2f s", probe.delays[i], probe.at[i] - opened);
    std::printf(" (after the window opened)\n");
    // A stall the window's own handling of a slot can explain spans that slot's
    // arrival; the others come from elsewhere (the machine, the platform).
    double withSlot = 0;
    for (size_t i = openedAt; i < n; ++i) {
        const double from = probe.at[i] - (probe.delays[i] + kTickMs) / 1000.0;
        for (double a : arrivals) {
            if (a >= from && a <= probe.at[i]) withSlot = std::max(withSlot, probe.delays[i]);
        }
    }
    std::printf("longest stall spanning a slot's arrival: %.1f ms (%zu updates of the bar)\n",
                withSlot, arrivals.size());
    dlg.reset();
    session.Disconnect();
    return unread == 0 ? 0 : 1;
}
