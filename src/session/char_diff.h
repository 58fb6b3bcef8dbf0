#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "records/char_rec_data.h"

// Whether a meter holds what a reference file holds: a slot's bytes as the
// meter sent them against the 256-byte image a write of the file's block to
// that slot would send. Fields are named as the journal's details name them;
// a difference only in bytes no field covers is one row, "bajty zastrzeżone".

struct FieldDifference {
    QString field;
    QString meter;
    QString file;
};

struct SlotDifference {
    int slot = 0;  // 0-based
    std::vector<FieldDifference> fields;
};

// The differences of one slot (empty when the bytes a write would send are
// the bytes the meter holds; the checksum byte is the sender's and is not
// compared). Outside service mode the curve of a password-protected record is
// shown as "(ochrona hasłem)", its difference still named.
std::vector<FieldDifference> CompareSlot(const QByteArray& meterImage,
                                         const CharRecData& fileRecord, int slot, bool serviceMode);

// The text of a comparison for the user: "Różnice: charakterystyki nr 2, 5"
// or "Miernik zgodny z plikiem".
QString DifferenceSummary(const std::vector<SlotDifference>& differences);
