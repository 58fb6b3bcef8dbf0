#pragma once

#include <QString>

#include "journal/journal_entry.h"
#include "session/meter_write.h"

class MeterSession;

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

// Whether `entry` may be restored to the session's meter; `message` says why
// not. The meter must be the entry's meter: the same serial number, or, for a
// change of the serial number, the number it was given. Service values and
// protected records need the session's service mode.
RestoreRefusal CheckRestore(const JournalEntry& entry, MeterSession& session, QString* message);

// The question asked before a restore.
QString RestoreQuestion(const JournalEntry& entry);

// "Miernik ma już tę wartość; nic nie zapisano."
QString RestoreUnchangedText();

// Writes the value before of `entry` (checked with CheckRestore) back, as the
// bytes the journal holds: a characteristic goes back byte for byte (reserved
// bytes, odd float patterns and all; an erased slot, which no write can make
// again, as the empty record it reads as). For a characteristic the slot is
// read first: its bytes are the new entry's value before, and a slot that
// already holds the value is left alone (WriteStatus::Unchanged, no entry), as
// is a service value the meter already has. The limits of the direct writes
// apply to what a damaged or tampered journal holds.
struct RestoreResult {
    WriteOutcome outcome;
    QString message;  // empty when the meter holds the value now
};
RestoreResult RestoreEntry(WriteBatch& batch, MeterSession& session, const JournalEntry& entry);
