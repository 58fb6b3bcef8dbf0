#pragma once

#include <QString>
#include <cstdint>

#include "journal/journal_entry.h"
#include "journal/journaled_write.h"

class Ckv60xDriver;

// Writing the value before a change back to the meter ("Przywróć" in the
// history window, `kv60x-cli journal restore`). The restore is itself a write
// through the journal, whose entry names the entry it restored.

enum class RestoreRefusal {
    None,
    NoValue,       // the entry has no readable value before the change
    NoMeter,       // no meter identity (not connected, or not polled yet)
    OtherMeter,    // the connected meter has another serial number
    NeedsService,  // a service value, or a protected record, outside service mode
};

// Whether `entry` may be restored to the meter the driver is connected to;
// `message` says why not. The meter must be the entry's meter: the same serial
// number, or, for a change of the serial number, the number it was given.
RestoreRefusal CheckRestore(const JournalEntry& entry, const Ckv60xDriver& driver, bool serviceMode,
                            QString* message);

// The question asked before a restore.
QString RestoreQuestion(const JournalEntry& entry);

struct RestoreResult {
    bool ok = false;              // the meter confirmed the write
    QString message;              // why it failed (a meter failure or the journal)
    bool journalBlocked = false;  // the journal stopped it: nothing went to the meter
    int64_t entryId = 0;          // the new entry
};

// Writes the before value of `entry` (checked with CheckRestore) back. For a
// characteristic the slot is read first, so the new entry holds what it
// replaces. `journal` may be nullptr only when the caller chose no journal.
RestoreResult RestoreEntry(MeterJournal* journal, Ckv60xDriver& driver, const JournalEntry& entry);
