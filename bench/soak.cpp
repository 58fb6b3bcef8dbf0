// Soak: the driver against a simulated meter whose faults change at random,
// with characteristic reads and writes and service writes running on worker
// threads meanwhile. Checks and prints:
//   - no crash, no deadlock: every operation returns within its bound;
//   - no value stored that the meter did not send in an acceptable answer;
//   - every characteristic write either confirmed and stored in the meter, or
//     reported as failed;
//   - the link up again within one cycle after the faults stop;
//   - resident memory at the start and at the end.
//
//   kv60x_soak [--seconds N] [--seed S] [--unplug] [--real-timing]
//
// --unplug also pulls and re-inserts the meter's device at random moments.

#include <unistd.h>

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "meter/char_image.h"
#include "meter/kv60x_driver.h"
#include "meter/reply_decoder.h"
#include "serial/port_names.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

long ResidentKiB() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int64_t MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

struct Stats {
    std::atomic<uint64_t> readsOk{0}, readsFailed{0}, writesOk{0}, writesFailed{0};
    std::atomic<uint64_t> serviceOk{0}, serviceFailed{0}, faultChanges{0}, unplugs{0};
    std::atomic<int64_t> maxReadMs{0}, maxWriteMs{0}, maxServiceMs{0};
    std::atomic<uint64_t> violations{0};
    std::mutex printLock;  // guards stderr lines from several threads

    void Max(std::atomic<int64_t>& m, int64_t v) {
        int64_t cur = m.load();
        while (v > cur && !m.compare_exchange_weak(cur, v)) {
        }
    }
    void Violation(const std::string& what) {
        if (++violations <= 20) {
            std::lock_guard<std::mutex> lock(printLock);
            std::fprintf(stderr, "VIOLATION: %s\n", what.c_str());
        }
    }
};

CharRecData RandomRecord(std::mt19937& rng, int slot) {
    CharRecData r;
    r.REC_NUMBER = static_cast<uint8_t>(slot);
    r.ENABLE = rng() % 2;
    r.PASSWORD = rng() % 2;
    r.COMPENSATION = rng() % 2;
    r.METHOD = rng() % 2;
    r.ACTIVE = static_cast<uint8_t>(2 + rng() % 14);
    for (int i = 0; i < r.ACTIVE; ++i) {
        r.RH[i] = static_cast<float>(i * 2.5 + (rng() % 100) / 100.0);
        r.VALUE[i] = static_cast<float>(i * 0.75 + (rng() % 1000) / 1000.0);
    }
    for (double& c : r.COMPENS)
        c = static_cast<float>((static_cast<int>(rng() % 2000) - 1000) / 997.0);
    for (char* t : {r.CODE, r.NAME, r.CERTIFICATE, r.DESC}) {
        const size_t len = t == r.CODE ? 3 : t == r.NAME ? 10 : t == r.CERTIFICATE ? 15 : 40;
        for (size_t k = 0; k < len; ++k) t[k] = static_cast<char>('A' + rng() % 26);
    }
    r.CREATE_TIME = static_cast<int32_t>(1200000000 + rng() % 100000000);
    r.SAVE_TIME = static_cast<int32_t>(1200000000 + rng() % 100000000);
    r.valid = 1;
    return r;
}

// The bad-checksum record with its dates cleared (they are "now" when decoded).
bool IsEmptyRecordShape(CharRecData r) {
    CharRecData e;
    e.REC_NUMBER = r.REC_NUMBER;
    e.ACTIVE = 2;
    e.valid = 1;
    r.CREATE_TIME = r.SAVE_TIME = 0;
    return r == e;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    uint32_t seed = static_cast<uint32_t>(std::time(nullptr));
    bool unplug = false;
    bool realTiming = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc)
            seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        else if (!std::strcmp(argv[i], "--unplug"))
            unplug = true;
        else if (!std::strcmp(argv[i], "--real-timing"))
            realTiming = true;
        else {
            std::fprintf(stderr,
                         "usage: kv60x_soak [--seconds N] [--seed S] [--unplug] [--real-timing]\n");
            return 2;
        }
    }
    std::printf("soak: %d s, seed %u%s%s\n", seconds, seed, unplug ? ", unplugging" : "",
                realTiming ? ", real timing" : "");

    constexpr int kSlots = 20;
    MeterSimulator sim;
    sim.SetSentHistory(4000);  // enough for the checks below, bounded for the memory figure
    FillDemoCharacteristics(sim, kSlots);
    if (!sim.Start()) {
        std::fprintf(stderr, "cannot start the simulated meter\n");
        return 1;
    }
    RegisterPortDevice(241, QString::fromStdString(sim.LinkPath()));
    Ckv60xDriver driver;
    DriverTiming timing;
    if (!realTiming) {
        timing.replyTimeoutMs = 120;
        timing.cycleSleepMs = 50;
        timing.idleMs = 300;
        timing.charWritePauseMs = 20;
        timing.reopenIntervalMs = 50;
    }
    driver.SetTiming(timing);
    if (!driver.Connect(241)) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(driver.LastOpenError()));
        return 1;
    }
    driver.SetServiceDataOn(true);
    const auto connectStart = Clock::now();
    while (!driver.LinkUp() && MsSince(connectStart) < 10000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!driver.LinkUp()) {
        std::fprintf(stderr, "no first cycle\n");
        return 1;
    }
    const long rssStart = ResidentKiB();

    Stats st;
    std::atomic<bool> stop{false};
    // An operation may wait for the exchanges of the other workers and of the
    // polling before its own (a write and its re-read): beyond that it hangs.
    const int64_t commandMs = static_cast<int64_t>(timing.attempts) * timing.replyTimeoutMs;
    const int64_t opBoundMs =
        2 * commandMs + 3 * commandMs + 2 * timing.replyTimeoutMs + timing.charWritePauseMs + 2000;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);

    // Values the meter has sent in acceptable answers, per record kind.
    std::mutex seenLock;  // guards the sets below
    std::set<int32_t> seenSerials;
    std::set<double> seenTemperatures;
    std::set<std::string> seenModels;
    uint64_t scanned = 0;
    auto scanSent = [&] {
        std::lock_guard<std::mutex> lock(seenLock);
        const uint64_t end = sim.SentCount();
        for (const std::string& line : sim.SentSince(scanned)) {
            MeterState s;
            const DecodeResult r = DecodeReply(line.data(), line.size(), s, 0);
            if (!r.accepted) continue;
            if (r.kind == ReplyKind::SerialNumber) seenSerials.insert(s.serialNumber.serialNumber);
            if (r.kind == ReplyKind::Temperature)
                seenTemperatures.insert(s.temperature.temperature);
            if (r.kind == ReplyKind::Identity) seenModels.insert(s.identity.model);
        }
        scanned = end;
    };

    std::thread faults([&] {
        std::mt19937 rng(seed);
        while (Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + rng() % 700));
            SimFaults f;
            switch (rng() % 10) {
                case 0:
                    break;
                case 1:
                    f.silent = true;
                    break;
                case 2:
                    f.lateMs = static_cast<int>(20 + rng() % (2 * timing.replyTimeoutMs));
                    break;
                case 3:
                    f.garble = true;
                    break;
                case 4:
                    f.truncateTo = static_cast<int>(rng() % 12);
                    break;
                case 5:
                    f.unsolicitedEveryMs = 30;
                    f.unsolicitedLine = (rng() % 2) ? "SR9999" : "ZZ";
                    break;
                case 6:
                    f.refuseCharHeader = true;
                    break;
                case 7:
                    f.refuseCharData = true;
                    break;
                case 8:
                    f.badChecksum = true;
                    break;
                case 9:
                    f.answerOnNth = static_cast<int>(2 + rng() % 4);
                    break;
            }
            sim.SetFaults(f);
            ++st.faultChanges;
            if (unplug && rng() % 4 == 0) {
                sim.Unplug();
                ++st.unplugs;
                std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 400));
                if (!sim.Replug()) st.Violation("the simulated device could not be re-created");
            }
        }
        sim.ClearFaults();
        if (!sim.IsPlugged()) sim.Replug();
    });

    std::thread reader([&] {
        std::mt19937 rng(seed + 1);
        while (!stop) {
            const int slot = static_cast<int>(rng() % kSlots);
            const uint64_t from = sim.SentCount();
            const auto t0 = Clock::now();
            CharRecData rec;
            const bool read = driver.ReadCharacteristic(slot, rec);
            const int64_t ms = MsSince(t0);
            st.Max(st.maxReadMs, ms);
            if (ms > opBoundMs)
                st.Violation("characteristic read took " + std::to_string(ms) + " ms");
            if (!read) {
                ++st.readsFailed;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            ++st.readsOk;
            // The record must be what some "CR" answer of the meter carried.
            bool found = IsEmptyRecordShape(rec);
            for (const std::string& line : sim.SentSince(from > 400 ? from - 400 : 0)) {
                if (found) break;
                if (line.compare(0, 2, "CR") != 0) continue;
                MeterState s;
                if (DecodeReply(line.data(), line.size(), s, 0).accepted && s.slot == rec)
                    found = true;
            }
            if (!found)
                st.Violation("read a characteristic the meter did not send (slot " +
                             std::to_string(slot) + ")");
        }
    });

    std::thread writer([&] {
        std::mt19937 rng(seed + 2);
        while (!stop) {
            const int slot = static_cast<int>(rng() % kSlots);
            const CharRecData rec = RandomRecord(rng, slot);
            const auto t0 = Clock::now();
            const bool written = driver.WriteCharacteristic(rec);
            const int64_t ms = MsSince(t0);
            st.Max(st.maxWriteMs, ms);
            if (ms > opBoundMs)
                st.Violation("characteristic write took " + std::to_string(ms) + " ms");
            if (written) {
                ++st.writesOk;
                if (!(sim.SlotImage(slot) == EncodeCharImage(rec))) {
                    st.Violation("write of slot " + std::to_string(slot) +
                                 " confirmed but not stored");
                }
            } else {
                ++st.writesFailed;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 50));
        }
    });

    std::thread service([&] {
        std::mt19937 rng(seed + 3);
        while (!stop) {
            const auto t0 = Clock::now();
            bool ok = true;
            switch (rng() % 4) {
                case 0:
                    ok = driver.WriteSerialNumber(static_cast<int>(1 + rng() % 9999));
                    break;
                case 1:
                    ok = driver.WriteStartupDate(static_cast<uint16_t>(2000 + rng() % 100),
                                                 static_cast<uint8_t>(1 + rng() % 12));
                    break;
                case 2:
                    ok = driver.WriteElectrodeCoefficient((rng() % 1000) / 100.0);
                    break;
                case 3:
                    ok = driver.WriteVersionLetter(static_cast<char>('A' + rng() % 4));
                    break;
            }
            const int64_t ms = MsSince(t0);
            st.Max(st.maxServiceMs, ms);
            if (ms > opBoundMs) st.Violation("service write took " + std::to_string(ms) + " ms");
            (ok ? st.serviceOk : st.serviceFailed)++;
            std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 200));
        }
    });

    // The polled records may only hold what the meter sent.
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        scanSent();
        SerialNumberData sn;
        TemperatureReading t;
        MeterIdentity id;
        driver.GetSerialNumber(sn);
        driver.GetTemperature(t);
        driver.GetIdentity(id);
        scanSent();  // lines decoded between the two scans
        std::lock_guard<std::mutex> lock(seenLock);
        if (sn.valid && !seenSerials.count(sn.serialNumber))
            st.Violation("serial number never sent");
        if (t.valid && !seenTemperatures.count(t.temperature))
            st.Violation("temperature never sent");
        if (id.valid && !seenModels.count(id.model)) st.Violation("model never sent");
    }

    stop = true;
    faults.join();
    reader.join();
    writer.join();
    service.join();

    // Faults are over: the next complete cycle brings the link up again.
    const auto calm = Clock::now();
    const uint64_t cyclesAtCalm = driver.CompletedCycles();
    while ((!driver.LinkUp() || driver.CompletedCycles() == cyclesAtCalm) &&
           MsSince(calm) < 30000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int64_t recoveryMs = MsSince(calm);
    const int64_t cycleBoundMs = static_cast<int64_t>(timing.attempts) * timing.replyTimeoutMs +
                                 8LL * 2 * timing.replyTimeoutMs + timing.cycleSleepMs + 500;
    const bool recovered = driver.LinkUp() && recoveryMs <= cycleBoundMs;
    if (!recovered) st.Violation("link not up again within one cycle");
    driver.Disconnect();
    const long rssEnd = ResidentKiB();

    std::printf("fault changes: %llu, unplugs: %llu\n",
                static_cast<unsigned long long>(st.faultChanges.load()),
                static_cast<unsigned long long>(st.unplugs.load()));
    std::printf("characteristic reads: %llu ok, %llu failed, longest %lld ms\n",
                (unsigned long long)st.readsOk.load(), (unsigned long long)st.readsFailed.load(),
                (long long)st.maxReadMs.load());
    std::printf("characteristic writes: %llu ok (all stored), %llu failed, longest %lld ms\n",
                (unsigned long long)st.writesOk.load(), (unsigned long long)st.writesFailed.load(),
                (long long)st.maxWriteMs.load());
    std::printf("service writes: %llu ok, %llu failed, longest %lld ms\n",
                (unsigned long long)st.serviceOk.load(),
                (unsigned long long)st.serviceFailed.load(), (long long)st.maxServiceMs.load());
    std::printf("operation bound: %lld ms\n", (long long)opBoundMs);
    std::printf("link up again after %lld ms (bound %lld ms)\n", (long long)recoveryMs,
                (long long)cycleBoundMs);
    std::printf("resident memory: %ld KiB at start, %ld KiB at end\n", rssStart, rssEnd);
    std::printf("violations: %llu\n", (unsigned long long)st.violations.load());
    return st.violations == 0 ? 0 : 1;
}
