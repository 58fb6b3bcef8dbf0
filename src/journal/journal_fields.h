#pragma once

#include <QString>
#include <vector>

#include "journal/journal_entry.h"

// The before and after values of an entry side by side, field by field, as the
// history window and `kv60x-cli journal show` print them.
struct JournalFieldRow {
    QString name;
    QString before;
    QString after;
    bool changed = false;  // both values known and different
};

// A characteristic gives one row per field (texts, flags, dates, the four
// coefficients and all 15 points, numbers exact to the meter's precision); any
// other change gives one row, a kind this program does not know its stored
// bytes in hexadecimal (an unknown outcome alone does not change the rows). Outside service mode
// (`serviceMode` false) the curve of a password-protected record (points and coefficients) is shown
// as
// "(ochrona hasłem)", as the window shows no such record's curve then.
std::vector<JournalFieldRow> JournalFieldRows(const JournalEntry& entry, bool serviceMode);

// True when the before or after value of a characteristic entry is password
// protected.
bool JournalEntryProtected(const JournalEntry& entry);

// Date and time of an entry for the user: "2026-12-08 04:05:06" local time.
QString JournalTimeText(int64_t timeMs);
