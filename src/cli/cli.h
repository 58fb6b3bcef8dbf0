#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <ctime>
#include <functional>

#include "meter/driver_timing.h"

// kv60x-cli: the meter and the record files from the command line. The commands
// live here, in a library, so that tests run them in-process exactly as the
// program does.

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitMeter = 1;   // a meter operation failed (no answer, refused, port not openable)
constexpr int kExitUsage = 2;   // bad arguments, a bad input file, a file or stdout not written
constexpr int kExitDiffer = 3;  // a comparison found differences (table diff)

// Where a command writes, what stops it, and how fast it talks to the meter.
struct CliEnv {
    // Standard output and standard error; each call is written and flushed whole.
    std::function<void(const QByteArray&)> out;
    std::function<void(const QByteArray&)> err;
    // Set (from a signal handler or a test) to stop watch, log and transfers.
    const std::atomic<bool>* stop = nullptr;
    DriverTiming timing;
    // Bound on the wait for the driver's first complete polling cycle.
    int firstCycleTimeoutMs = 15000;
    // Show a progress line on stderr during table transfers.
    bool progress = false;
    // How long to wait for another program's lock on the journal of changes.
    int journalBusyTimeoutMs = 3000;
    // The clock whose local time `log` writes (tests fix it); empty: the system clock.
    std::function<std::time_t()> clock;

    bool Stopped() const { return stop && stop->load(); }
    void Out(const QString& text) const {
        if (out) out(text.toUtf8());
    }
    void Err(const QString& text) const {
        if (err) err(text.toUtf8());
    }
};

// Runs one command line (without the program name). Returns the exit code.
int RunCli(const QStringList& args, const CliEnv& env);
