#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "journal/journal_entry.h"

// What `kv60x-cli commission` did, step by step: what it prints as it goes and
// in its summary, and what a report of the commission is drawn from.
namespace cli {

struct CommissionStep {
    enum class State {
        Planned,    // differs from what was asked; not (yet) written
        Written,    // the meter confirmed it
        Unchanged,  // the meter held it already when the write came
        Failed,     // the step that stopped the commission
    };
    JournalTarget target = JournalTarget::Characteristic;
    int slot = -1;       // characteristics: 0-based
    QString name;        // "Numer seryjny", "Charakterystyka nr 5"
    QString meter;       // what the meter held, for the user
    QString asked;       // what was asked
    QStringList fields;  // characteristics: the fields that differed
    State state = State::Planned;
    int64_t entryId = 0;  // the journal's entry; 0 when none
};

struct CommissionRun {
    MeterStamp meterBefore;  // as read before anything was written
    MeterStamp meterAfter;   // as read back (empty until then)
    // The writes, in the order they are made: what differed from what was asked.
    std::vector<CommissionStep> steps;
    int slotsCompared = 0;  // slots of the file compared with the meter
    int slotsSkipped = 0;   // chosen slots without a record in the file
    bool dryRun = false;
    bool verified = false;  // read back after writing and equal to what was asked
    QString failure;        // the line of the failure that stopped it; empty when none
    int exitCode = 0;
};

}  // namespace cli
